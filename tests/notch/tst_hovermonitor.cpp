#include "ManualClock.h"
#include "notch/HoverMonitor.h"
#include "platform/HeadlessPointerSource.h"

#include <QTest>

using namespace notchora;

namespace {

const QRectF zone(100, 100, 50, 50);
const QList<QPointF> insidePoints{{110, 110}, {120, 130}, {149, 149}};
const QList<QPointF> outsidePoints{{10, 10}, {300, 120}, {125, 99}};

} // namespace

class HoverMonitorTest : public QObject {
    Q_OBJECT
private slots:
    void timing_data();
    void timing();
    void startTwiceListensOnce();
    void destroyingReportsNothing();
    void zoneIsAskedAfresh();
    void pollingOnlyWhileOpenOrOpening();
};

void HoverMonitorTest::timing_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("reports");

    // Steps: in/out = a movement inside/outside the zone; warpout = the pointer leaves
    // without a movement report; +N = N ms pass; stop/start.
    QTest::newRow("resting 70 ms opens") << "in +71"
                                         << "1";
    QTest::newRow("not yet at 69 ms") << "in +69"
                                      << "";
    QTest::newRow("fast crossing opens nothing") << "in +30 out +500"
                                                 << "";
    QTest::newRow("moving inside keeps one open timer") << "in +30 in +30 in +11"
                                                        << "1";
    QTest::newRow("re-entry within 70 ms starts a new wait") << "in +40 out +20 in +69"
                                                             << "";
    QTest::newRow("re-entry within 70 ms, then rests") << "in +40 out +20 in +71"
                                                       << "1";
    QTest::newRow("opening needs the pointer still in the zone") << "in +30 warpout +100"
                                                                 << "";
    QTest::newRow("leaving closes after 400 ms") << "in +71 out +401"
                                                 << "1 0";
    QTest::newRow("not before 400 ms") << "in +71 out +399"
                                       << "1";
    QTest::newRow("return within 400 ms stays open") << "in +71 out +300 in +1000"
                                                     << "1";
    QTest::newRow("more movements outside do not postpone the close") << "in +71 out +200 out +201"
                                                                      << "1 0";
    QTest::newRow("leave, return, leave again") << "in +71 out +100 in +100 out +401"
                                                << "1 0";
    QTest::newRow("stop while inside reports leaving once") << "in +71 stop stop +500"
                                                            << "1 0";
    QTest::newRow("stop while opening cancels it") << "in +30 stop +100"
                                                   << "";
    QTest::newRow("stop while closing reports once") << "in +71 out +100 stop +500"
                                                     << "1 0";
    QTest::newRow("movements after stop are ignored") << "stop in +100"
                                                      << "";
    QTest::newRow("start again after stop") << "stop start in +71"
                                            << "1";
}

void HoverMonitorTest::timing() {
    QFETCH(QString, script);
    QFETCH(QString, reports);

    ManualClock clock;
    HeadlessPointerSource pointer;
    pointer.warpTo({0, 0});
    QStringList log;
    HoverMonitor monitor(
        clock, pointer,
        {[] { return zone; }, [&log](bool inside) { log << (inside ? "1" : "0"); }, nullptr}, 0.07,
        0.4);
    monitor.start();
    int in = 0;
    int out = 0;
    for (const QString& step : script.split(' ', Qt::SkipEmptyParts)) {
        if (step == "in")
            pointer.moveTo(insidePoints[in++ % insidePoints.size()]);
        else if (step == "out")
            pointer.moveTo(outsidePoints[out++ % outsidePoints.size()]);
        else if (step == "warpout")
            pointer.warpTo({0, 0});
        else if (step == "stop")
            monitor.stop();
        else if (step == "start")
            monitor.start();
        else if (step.startsWith('+'))
            clock.advance(step.mid(1).toDouble() / 1000.0);
        else
            QFAIL(qPrintable("unknown step " + step));
    }
    QCOMPARE(log.join(' '), reports);
}

void HoverMonitorTest::startTwiceListensOnce() {
    ManualClock clock;
    HeadlessPointerSource pointer;
    int moves = 0;
    HoverMonitor monitor(clock, pointer, {[] { return zone; }, nullptr, [&](QPointF) { ++moves; }},
                         0.07, 0.4);
    monitor.start();
    monitor.start();
    QCOMPARE(pointer.users(), 1);
    pointer.moveTo({5, 5});
    QCOMPARE(moves, 1);
    monitor.stop();
    QCOMPARE(pointer.users(), 0);
    pointer.moveTo({6, 6});
    QCOMPARE(moves, 1);
}

void HoverMonitorTest::destroyingReportsNothing() {
    ManualClock clock;
    HeadlessPointerSource pointer;
    QStringList log;
    {
        HoverMonitor monitor(
            clock, pointer,
            {[] { return zone; }, [&log](bool inside) { log << (inside ? "1" : "0"); }, nullptr},
            0.07, 0.4);
        monitor.start();
        pointer.moveTo({110, 110});
        clock.advance(0.1);
        pointer.moveTo({0, 0});
    }
    clock.advance(1);
    QCOMPARE(log.join(' '), QString("1"));
    QCOMPARE(pointer.users(), 0);
}

void HoverMonitorTest::zoneIsAskedAfresh() {
    // The zone grows when the panel opens: a pointer inside the big zone keeps it open.
    ManualClock clock;
    HeadlessPointerSource pointer;
    bool open = false;
    HoverMonitor monitor(clock, pointer,
                         {[&open] { return open ? QRectF(0, 0, 500, 500) : zone; },
                          [&open](bool inside) { open = inside; }, nullptr},
                         0.07, 0.4);
    monitor.start();
    pointer.moveTo({110, 110});
    clock.advance(0.08);
    QVERIFY(open);
    pointer.moveTo({400, 400});
    clock.advance(1);
    QVERIFY(open);
    pointer.moveTo({600, 600});
    clock.advance(0.41);
    QVERIFY(!open);
}

void HoverMonitorTest::pollingOnlyWhileOpenOrOpening() {
    ManualClock clock;
    HeadlessPointerSource pointer;
    HoverMonitor monitor(clock, pointer, {[] { return zone; }, nullptr, nullptr}, 0.07, 0.4);
    monitor.start();
    pointer.moveTo({0, 0});
    QVERIFY(!pointer.pollingWanted());
    pointer.moveTo({110, 110});
    QVERIFY(pointer.pollingWanted());
    clock.advance(0.08);
    QVERIFY(monitor.isInside());
    QVERIFY(pointer.pollingWanted());
    pointer.moveTo({0, 1});
    clock.advance(0.41);
    QVERIFY(!monitor.isInside());
    QVERIFY(!pointer.pollingWanted());
}

QTEST_GUILESS_MAIN(HoverMonitorTest)
#include "tst_hovermonitor.moc"
