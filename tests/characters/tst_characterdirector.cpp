#include "ManualClock.h"
#include "TestEnvironment.h"
#include "characters/CharacterDirector.h"
#include "platform/Defaults.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;

class CharacterDirectorTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_defaults.reset();
        m_env = std::make_unique<test::TestEnvironment>();
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
    }
    void startsFromTheStore_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("random");
        QTest::newRow("nothing stored") << QByteArray("{}") << int(CharacterKind::Monkey) << false;
        QTest::newRow("ghost, random")
            << QByteArray(R"({"characters.selected":"ghost","characters.random":true})")
            << int(CharacterKind::Ghost) << true;
        QTest::newRow("unknown kind") << QByteArray(R"({"characters.selected":"dragon"})")
                                      << int(CharacterKind::Monkey) << false;
        QTest::newRow("wrong types")
            << QByteArray(R"({"characters.selected":3,"characters.random":"yes"})")
            << int(CharacterKind::Monkey) << false;
    }
    void startsFromTheStore() {
        QFETCH(QByteArray, stored);
        QFETCH(int, kind);
        QFETCH(bool, random);
        writeOutside(stored);
        auto director = makeDirector();
        QCOMPARE(int(director->current()), kind);
        QCOMPARE(director->isRandom(), random);
        QVERIFY(!director->isTucked());
        QCOMPARE(m_clock.pendingCount(), 0);
        // Nothing is rewritten until the next switch.
        QCOMPARE(test::readFile(m_defaults->filePath()), stored);
    }
    void selectWhileInactiveSwitchesAtOnce() {
        writeOutside(R"({"characters.selected":"dragon"})");
        auto director = makeDirector();
        QSignalSpy tucks(director.get(), &CharacterDirector::isTuckedChanged);
        director->select(CharacterKind::Ghost);
        QCOMPARE(director->current(), CharacterKind::Ghost);
        QCOMPARE(storedSelection(), QStringLiteral("ghost"));
        QCOMPARE(tucks.count(), 0);
        QCOMPARE(m_clock.pendingCount(), 0);
    }
    void selectingTheCurrentKindOnlyStopsRandom() {
        writeOutside(R"({"characters.selected":"cat","characters.random":true})");
        auto director = makeDirector();
        director->setActive(true);
        QCOMPARE(m_clock.pendingCount(), 1); // the rotation loop
        QSignalSpy tucks(director.get(), &CharacterDirector::isTuckedChanged);
        QSignalSpy switches(director.get(), &CharacterDirector::currentChanged);
        director->select(CharacterKind::Cat);
        QVERIFY(!director->isRandom());
        QCOMPARE(m_defaults->boolValue(CharacterDirector::randomKey), std::optional<bool>(false));
        QCOMPARE(tucks.count(), 0);
        QCOMPARE(m_clock.pendingCount(), 0);
        m_clock.advance(400);
        QCOMPARE(switches.count(), 0);
    }
    void selectionsInQuickSuccession() {
        auto director = makeDirector();
        director->setActive(true);
        QSignalSpy switches(director.get(), &CharacterDirector::currentChanged);

        director->select(CharacterKind::Cat);
        QVERIFY(director->isTucked());
        QCOMPARE(director->current(), CharacterKind::Monkey); // hidden first, then swapped
        m_clock.advance(0.1);
        director->select(CharacterKind::Bird);
        // The cat's switch happened out of sight; the bird keeps the character tucked.
        QVERIFY(director->isTucked());
        m_clock.advance(0.44);
        QVERIFY(director->isTucked());
        QCOMPARE(director->current(), CharacterKind::Cat);
        m_clock.advance(0.01);
        QVERIFY(!director->isTucked());
        QCOMPARE(director->current(), CharacterKind::Bird);
        QCOMPARE(storedSelection(), QStringLiteral("bird"));
        QCOMPARE(switches.count(), 2);
        QCOMPARE(m_clock.pendingCount(), 0);
    }
    void deactivatingMidTuckFinishesTheSwitch() {
        auto director = makeDirector();
        director->setActive(true);
        director->select(CharacterKind::Octopus);
        m_clock.advance(0.2);
        director->setActive(false);
        QVERIFY(!director->isTucked());
        QCOMPARE(director->current(), CharacterKind::Octopus);
        QCOMPARE(storedSelection(), QStringLiteral("octopus"));
        QCOMPARE(m_clock.pendingCount(), 0);
    }
    void randomRotation() {
        auto director = makeDirector();
        QSignalSpy switches(director.get(), &CharacterDirector::currentChanged);
        director->setRandom(true);
        QCOMPARE(m_defaults->boolValue(CharacterDirector::randomKey), std::optional<bool>(true));
        QCOMPARE(m_clock.pendingCount(), 0); // no view shows a character yet
        director->setActive(true);
        QCOMPARE(director->current(), CharacterKind::Monkey); // no switch on turning it on

        QSet<CharacterKind> seen;
        double sinceRotation = 0;
        for (int round = 0; round < 40; ++round) {
            // Each wait is drawn when the previous one ends.
            const double due = m_clock.nextDueIn();
            const double wait = due + sinceRotation;
            QVERIFY2(wait >= 120 && wait <= 300, qPrintable(QString::number(wait)));
            const CharacterKind before = director->current();
            m_clock.advance(due);
            QVERIFY(director->isTucked());
            m_clock.advance(CharacterDirector::tuckDuration);
            QVERIFY(!director->isTucked());
            QVERIFY(director->current() != before);
            sinceRotation = CharacterDirector::tuckDuration;
            seen.insert(director->current());
        }
        QCOMPARE(switches.count(), 40);
        QVERIFY(seen.size() >= 4); // every candidate can come up
        director->setActive(false);
        QCOMPARE(m_clock.pendingCount(), 0);
        QVERIFY(director->isRandom());
    }
    void followsOutsideEdits() {
        auto director = makeDirector();
        director->setActive(true);
        writeOutside(R"({"characters.selected":"cat"})");
        QVERIFY(director->isTucked());
        m_clock.advance(CharacterDirector::tuckDuration);
        QCOMPARE(director->current(), CharacterKind::Cat);
        QVERIFY(!director->isTucked());

        writeOutside(R"({"characters.selected":"cat","characters.random":true})");
        QVERIFY(director->isRandom());
        QCOMPARE(m_clock.pendingCount(), 1);
        writeOutside(R"({"characters.selected":"cat"})");
        QVERIFY(!director->isRandom());
        QCOMPARE(m_clock.pendingCount(), 0);
        // An outside edit is applied, not written back.
        QCOMPARE(test::readFile(m_defaults->filePath()),
                 QByteArray(R"({"characters.selected":"cat"})"));
    }

private:
    std::unique_ptr<CharacterDirector> makeDirector() {
        return std::make_unique<CharacterDirector>(*m_defaults, m_clock);
    }
    QString storedSelection() const {
        const auto doc = QJsonDocument::fromJson(test::readFile(m_defaults->filePath()));
        return doc.object().value(CharacterDirector::selectedKey).toString();
    }
    void writeOutside(const QByteArray& json) {
        QVERIFY(test::writeFile(m_defaults->filePath(), json));
        m_defaults->reload();
    }

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    ManualClock m_clock;
};

QTEST_GUILESS_MAIN(CharacterDirectorTest)
#include "tst_characterdirector.moc"
