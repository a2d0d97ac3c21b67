#include "ManualClock.h"
#include "characters/CharacterKind.h"
#include "characters/CharacterMoodCenter.h"

#include <QSignalSpy>
#include <QTest>

using namespace notchora;

class CharacterMoodTest : public QObject {
    Q_OBJECT
private slots:
    void kindRawValues_data() {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("kind"); // -1: not a kind
        QTest::addColumn<QString>("name");
        QTest::newRow("monkey") << "monkey" << int(CharacterKind::Monkey) << "Monyet";
        QTest::newRow("cat") << "cat" << int(CharacterKind::Cat) << "Kucing";
        QTest::newRow("ninja") << "ninja" << int(CharacterKind::Ninja) << "Ninja";
        QTest::newRow("ghost") << "ghost" << int(CharacterKind::Ghost) << "Hantu";
        QTest::newRow("astronaut") << "astronaut" << int(CharacterKind::Astronaut) << "Astronot";
        QTest::newRow("bird") << "bird" << int(CharacterKind::Bird) << "Burung";
        QTest::newRow("octopus") << "octopus" << int(CharacterKind::Octopus) << "Gurita";
        QTest::newRow("unknown") << "dragon" << -1 << "";
        QTest::newRow("case matters") << "Cat" << -1 << "";
        QTest::newRow("empty") << "" << -1 << "";
    }
    void kindRawValues() {
        QFETCH(QString, raw);
        QFETCH(int, kind);
        QFETCH(QString, name);
        const auto parsed = characters::kindFromRawValue(raw);
        if (kind < 0) {
            QVERIFY(!parsed);
            return;
        }
        QVERIFY(parsed);
        QCOMPARE(int(*parsed), kind);
        QCOMPARE(characters::rawValue(*parsed), raw);
        QCOMPARE(characters::displayName(*parsed), name);
        // Picker order is declaration order.
        QCOMPARE(characters::allKinds().indexOf(*parsed), kind);
    }
    // Each step: after `at` seconds, set `mood` (for `hold` seconds when >= 0); then at `check`
    // seconds the mood must be `expected`, begun at `since`.
    void moodSequences_data() {
        QTest::addColumn<QList<double>>("at");
        QTest::addColumn<QList<int>>("moods");
        QTest::addColumn<QList<double>>("holds");
        QTest::addColumn<double>("check");
        QTest::addColumn<int>("expected");
        QTest::addColumn<double>("since");

        const int idle = int(CharacterMood::Idle), thinking = int(CharacterMood::Thinking),
                  happy = int(CharacterMood::Happy), sad = int(CharacterMood::Sad);
        QTest::newRow("happy holds its time")
            << QList<double>{0} << QList<int>{happy} << QList<double>{3.4} << 3.39 << happy << 0.0;
        QTest::newRow("happy returns to idle")
            << QList<double>{0} << QList<int>{happy} << QList<double>{3.4} << 3.4 << idle << 3.4;
        QTest::newRow("second happy restarts the hold")
            << QList<double>{0, 1} << QList<int>{happy, happy} << QList<double>{3.4, 3.4} << 4.3
            << happy << 1.0;
        QTest::newRow("second happy ends on its own time")
            << QList<double>{0, 1} << QList<int>{happy, happy} << QList<double>{3.4, 3.4} << 4.4
            << idle << 4.4;
        QTest::newRow("thinking after sad stays")
            << QList<double>{0, 0} << QList<int>{sad, thinking} << QList<double>{3.2, -1} << 600.0
            << thinking << 0.0;
        QTest::newRow("idle cancels a pending return")
            << QList<double>{0, 2} << QList<int>{sad, idle} << QList<double>{3.2, -1} << 10.0
            << idle << 2.0;
        QTest::newRow("held mood replaced by a shorter hold")
            << QList<double>{0, 1} << QList<int>{thinking, sad} << QList<double>{-1, 0.5} << 1.6
            << idle << 1.5;
    }
    void moodSequences() {
        QFETCH(QList<double>, at);
        QFETCH(QList<int>, moods);
        QFETCH(QList<double>, holds);
        QFETCH(double, check);
        QFETCH(int, expected);
        QFETCH(double, since);

        ManualClock clock;
        const QDateTime start = clock.now();
        CharacterMoodCenter center(clock);
        double elapsed = 0;
        for (int i = 0; i < at.size(); ++i) {
            clock.advance(at[i] - elapsed);
            elapsed = at[i];
            const auto hold = holds[i] < 0 ? std::nullopt : std::optional<double>(holds[i]);
            center.set(CharacterMood(moods[i]), hold);
        }
        clock.advance(check - elapsed);
        QCOMPARE(int(center.mood()), expected);
        QVERIFY2(qAbs(start.msecsTo(center.since()) - since * 1000) <= 1,
                 qPrintable(center.since().toString(Qt::ISODateWithMs)));
        if (expected == int(CharacterMood::Idle))
            QVERIFY(!center.hasPendingReset());
    }
    void sameMoodRestartsWithoutWaking() {
        ManualClock clock;
        CharacterMoodCenter center(clock);
        QSignalSpy moodSpy(&center, &CharacterMoodCenter::moodChanged);
        QSignalSpy sinceSpy(&center, &CharacterMoodCenter::sinceChanged);
        clock.advance(5);
        center.set(CharacterMood::Idle);
        QCOMPARE(moodSpy.count(), 0);
        QCOMPARE(sinceSpy.count(), 1);
        QCOMPARE(center.since(), clock.now());

        center.set(CharacterMood::Happy, 3.4);
        clock.advance(3.4);
        QCOMPARE(moodSpy.count(), 2); // happy, then back to idle
    }
};

QTEST_GUILESS_MAIN(CharacterMoodTest)
#include "tst_charactermood.moc"
