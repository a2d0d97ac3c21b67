#include "ManualClock.h"
#include "platform/SystemClock.h"

#include <QSignalSpy>
#include <QTest>

using namespace notchora;

class ClockTest : public QObject {
    Q_OBJECT
private slots:
    void manualClockFiresDueTimersInOrder_data() {
        QTest::addColumn<QList<double>>("delays");
        QTest::addColumn<double>("advance");
        QTest::addColumn<QList<int>>("fired");
        QTest::newRow("nothing due yet") << QList<double>{1.0, 2.0} << 0.999 << QList<int>{};
        QTest::newRow("exactly due") << QList<double>{1.0, 2.0} << 1.0 << QList<int>{0};
        QTest::newRow("out of order") << QList<double>{3.0, 1.0, 2.0} << 5.0 << QList<int>{1, 2, 0};
        QTest::newRow("ties keep scheduling order")
            << QList<double>{0.5, 0.5, 0.5} << 0.5 << QList<int>{0, 1, 2};
        QTest::newRow("zero delay") << QList<double>{0.0} << 0.0 << QList<int>{0};
    }
    void manualClockFiresDueTimersInOrder() {
        QFETCH(QList<double>, delays);
        QFETCH(double, advance);
        QFETCH(QList<int>, fired);
        ManualClock clock;
        QObject owner;
        QList<int> order;
        for (int i = 0; i < delays.size(); ++i)
            clock.schedule(delays[i], &owner, [&order, i] { order << i; });
        clock.advance(advance);
        QCOMPARE(order, fired);
        QCOMPARE(clock.pendingCount(), delays.size() - fired.size());
    }
    void timersScheduledWhileFiringRunInTheSameAdvance() {
        ManualClock clock;
        QObject owner;
        QList<double> firedAt;
        // A loop that reschedules itself every 2 s, as the update loop does.
        std::function<void()> tick = [&] {
            firedAt << clock.monotonic();
            clock.schedule(2.0, &owner, tick);
        };
        clock.schedule(2.0, &owner, tick);
        clock.advance(7.0);
        QCOMPARE(firedAt, (QList<double>{2.0, 4.0, 6.0}));
        QCOMPARE(clock.monotonic(), 7.0);
        QCOMPARE(clock.nextDueIn(), 1.0);
    }
    void cancelledAndOrphanedTimersNeverFire() {
        ManualClock clock;
        int fired = 0;
        auto owner = std::make_unique<QObject>();
        ClockTimer* cancelled = clock.schedule(1.0, owner.get(), [&] { ++fired; });
        clock.schedule(1.0, owner.get(), [&] { fired += 10; });
        cancelled->cancel();
        QVERIFY(!cancelled->isActive());
        QObject survivor;
        clock.schedule(1.0, &survivor, [&] { fired += 100; });
        owner.reset(); // destroying the owner cancels its timers
        clock.advance(2.0);
        QCOMPARE(fired, 100);
    }
    void wallTimeFollowsAdvance() {
        const QDateTime start(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::UTC);
        ManualClock clock(start);
        clock.advance(21600.5);
        QCOMPARE(clock.now(), start.addMSecs(21600500));
    }
    void systemClockFiresAndCancels() {
        Clock& clock = Clock::system();
        QObject owner;
        bool fired = false;
        bool cancelledFired = false;
        const double before = clock.monotonic();
        clock.schedule(0.02, &owner, [&] { fired = true; });
        clock.schedule(0.01, &owner, [&] { cancelledFired = true; })->cancel();
        QTRY_VERIFY_WITH_TIMEOUT(fired, 2000);
        QVERIFY(clock.monotonic() - before >= 0.019);
        QVERIFY(!cancelledFired);
    }
};

QTEST_GUILESS_MAIN(ClockTest)
#include "tst_clock.moc"
