#include "ManualClock.h"
#include "TestEnvironment.h"
#include "characters/CharacterDirector.h"
#include "characters/CharacterRoam.h"
#include "characters/CharacterStageController.h"
#include "characters/CharacterStageShow.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetStore.h"
#include "notch/NotchViewModel.h"
#include "platform/Defaults.h"
#include "platform/HeadlessWindowSystem.h"

#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;

Q_DECLARE_METATYPE(std::optional<double>)

namespace {

// A 1440 x 900 screen whose notch is `height` points tall (0: no notch reported).
NotchGeometry screenWithNotch(double height, double width = 190) {
    const QRectF screen(0, 0, 1440, 900);
    return NotchGeometry(screen, QRectF(720 - width / 2, 900 - height, width, height), height > 0);
}

} // namespace

class CharacterStageTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_director.reset();
        m_model.reset();
        m_store.reset();
        m_defaults.reset();
        m_env = std::make_unique<test::TestEnvironment>();
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
        m_store = std::make_unique<WidgetStore>(ModuleRegistry::shared(), *m_defaults);
        m_model = std::make_unique<NotchViewModel>(screenWithNotch(32), *m_store);
        m_director = std::make_unique<CharacterDirector>(*m_defaults, m_clock);
    }
    void roamSamples_data() {
        QTest::addColumn<CharacterKind>("kind");
        QTest::addColumn<double>("halfNotch");
        QTest::addColumn<double>("t");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("facing");
        using K = CharacterKind;
        QTest::newRow("monkey starts at the left end")
            << K::Monkey << 95.0 << 0.0 << -65.0 << 0.0 << 1;
        QTest::newRow("monkey mid way out") << K::Monkey << 95.0 << 3.5 << 0.0 << 0.0 << 1;
        QTest::newRow("monkey turns at the right end")
            << K::Monkey << 95.0 << 7.0 << 65.0 << 0.0 << -1;
        QTest::newRow("monkey eased near the end")
            << K::Monkey << 95.0 << 0.7 << (2 * (0.01 * 2.8) - 1) * 65 << 0.0 << 1;
        QTest::newRow("monkey back after 14 s") << K::Monkey << 95.0 << 14.0 << -65.0 << 0.0 << 1;
        QTest::newRow("monkey on the way back") << K::Monkey << 95.0 << 10.5 << 0.0 << 0.0 << -1;
        QTest::newRow("narrow notch keeps 12 points")
            << K::Monkey << 10.0 << 7.0 << 12.0 << 0.0 << -1;
        QTest::newRow("ghost out, facing right") << K::Ghost << 95.0 << 5.5 << 0.0 << 0.0 << 1;
        QTest::newRow("ghost back, facing left") << K::Ghost << 95.0 << 16.5 << 0.0 << 0.0 << -1;
        QTest::newRow("bird hops mid pass") << K::Bird << 95.0 << 2.5 << 0.0 << 6.0 << 1;
        QTest::newRow("cat bobs down") << K::Cat << 95.0 << 0.0 << 0.0 << -5.0 << 1;
        QTest::newRow("cat never turns") << K::Cat << 95.0 << 3.5 << 0.0 << 5.0 << 1;
        QTest::newRow("ninja never turns") << K::Ninja << 95.0 << 6.0 << 0.0 << 0.0 << 1;
        QTest::newRow("negative clock") << K::Monkey << 95.0 << -7.0 << 65.0 << 0.0 << -1;
    }
    void roamSamples() {
        QFETCH(CharacterKind, kind);
        QFETCH(double, halfNotch);
        QFETCH(double, t);
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(int, facing);
        const auto sample = CharacterRoam::forKind(kind).sample(t, halfNotch);
        QCOMPARE(QPointF(sample.x, sample.y), QPointF(x, y));
        QCOMPARE(sample.facing, facing);
    }
    void sceneTimeline_data() {
        QTest::addColumn<CharacterKind>("kind");
        QTest::addColumn<int>("direction");
        QTest::addColumn<double>("t");
        QTest::addColumn<double>("x");
        QTest::addColumn<bool>("running");
        using K = CharacterKind;
        // Notch centred on a 1440-point screen, 190 wide: the monkey stands 24 + 95 away.
        QTest::newRow("enters off screen") << K::Monkey << 1 << 0.0 << -40.0 << true;
        QTest::newRow("eases out of the run") << K::Monkey << 1 << 0.9 << -40 + 0.75 * 641 << true;
        QTest::newRow("stands beside the notch") << K::Monkey << 1 << 1.8 << 601.0 << false;
        QTest::newRow("still standing") << K::Monkey << 1 << 3.45 << 601.0 << false;
        QTest::newRow("sets off") << K::Monkey << 1 << 3.5 << 601.0 << true;
        QTest::newRow("speeds off") << K::Monkey << 1 << 4.45 << 601 + 0.25 * 879 << true;
        QTest::newRow("gone at the end") << K::Monkey << 1 << 5.4 << 1480.0 << true;
        QTest::newRow("stays gone") << K::Monkey << 1 << 9.0 << 1480.0 << true;
        QTest::newRow("from the right") << K::Cat << -1 << 0.0 << 1480.0 << true;
        QTest::newRow("from the right, standing") << K::Cat << -1 << 2.5 << 839.0 << false;
        QTest::newRow("from the right, leaving") << K::Cat << -1 << 5.4 << -40.0 << true;
        QTest::newRow("ninja keeps its distance") << K::Ninja << 1 << 2.5 << 555.0 << false;
        QTest::newRow("ninja from the right") << K::Ninja << -1 << 2.5 << 885.0 << false;
    }
    void sceneTimeline() {
        QFETCH(CharacterKind, kind);
        QFETCH(int, direction);
        QFETCH(double, t);
        QFETCH(double, x);
        QFETCH(bool, running);
        const auto scene = CharacterStageShow::sceneFor(screenWithNotch(32), kind, direction);
        QCOMPARE(scene.ninjaX(t), x);
        QCOMPARE(scene.isRunning(t), running);
        const double firstHit = kind == CharacterKind::Ninja ? 2.62 : 2.17;
        const QList<double> hits = scene.hitTimes();
        QCOMPARE(hits.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(hits[i], firstHit + 0.45 * i);
    }
    void throwProgress_data() {
        QTest::addColumn<double>("t");
        QTest::addColumn<std::optional<double>>("progress");
        QTest::newRow("running in") << 1.7 << std::optional<double>();
        QTest::newRow("wind-up") << 1.8 << std::optional<double>(0);
        QTest::newRow("first strike lands") << 2.17 << std::optional<double>(0.5);
        QTest::newRow("between strikes") << 2.4 << std::optional<double>();
        QTest::newRow("third strike") << 3.155 << std::optional<double>(0.75);
        QTest::newRow("done") << 3.3 << std::optional<double>();
    }
    void throwProgress() {
        QFETCH(double, t);
        QFETCH(std::optional<double>, progress);
        const auto actual =
            CharacterStageShow::sceneFor(screenWithNotch(32), CharacterKind::Monkey, 1)
                .throwProgress(t);
        QCOMPARE(actual.has_value(), progress.has_value());
        QCOMPARE(actual.value_or(-1), progress.value_or(-1));
    }
    void stripSizeAndScale_data() {
        QTest::addColumn<double>("notchHeight");
        QTest::addColumn<double>("stripHeight");
        QTest::addColumn<double>("scale");
        QTest::newRow("32-point notch") << 32.0 << 38.0 << 26.0 / 42;
        QTest::newRow("no notch reported") << 0.0 << 30.0 << 18.0 / 42;
        QTest::newRow("short notch") << 20.0 << 30.0 << 18.0 / 42;
        QTest::newRow("48-point notch") << 48.0 << 54.0 << 1.0;
        QTest::newRow("tall notch") << 60.0 << 66.0 << 1.0;
    }
    void stripSizeAndScale() {
        QFETCH(double, notchHeight);
        QFETCH(double, stripHeight);
        QFETCH(double, scale);
        const auto geometry = screenWithNotch(notchHeight);
        QCOMPARE(CharacterStageShow::stripFrame(geometry),
                 QRectF(0, 900 - stripHeight, 1440, stripHeight));
        const auto scene = CharacterStageShow::sceneFor(geometry, CharacterKind::Ghost, 1);
        QCOMPARE(scene.scale(), scale);
        QCOMPARE(scene.ground(), stripHeight - 8);
    }
    void showFlinchesTheNotchAtEachHit() {
        CharacterStageController stage(m_clock, *m_director, nullptr);
        stage.setViewModel(m_model.get());
        m_director->select(CharacterKind::Ninja);
        const double start = m_clock.monotonic();
        QList<QPointF> flinches; // (seconds into the show, flinching)
        connect(m_model.get(), &NotchViewModel::isFlinchingChanged, this,
                [&] { flinches << QPointF(m_clock.monotonic() - start, m_model->isFlinching()); });
        stage.runNow(0);
        QCOMPARE(stage.show()->scene().kind, CharacterKind::Ninja);
        m_clock.advance(5.41);
        QCOMPARE(flinches, (QList<QPointF>{
                               {2.62, 1}, {2.73, 0}, {3.07, 1}, {3.18, 0}, {3.52, 1}, {3.63, 0}}));
    }
    void schedulerWaitsBetweenShows() {
        CharacterStageController stage(m_clock, *m_director, nullptr);
        stage.setViewModel(m_model.get());
        QSignalSpy running(&stage, &CharacterStageController::isRunningChanged);
        stage.setActive(true);
        double sinceShow = 0;
        for (int round = 0; round < 5; ++round) {
            // The next wait starts as a show starts.
            const double wait = m_clock.nextDueIn() + sinceShow;
            QVERIFY2(wait >= 30 && wait <= 70, qPrintable(QString::number(wait)));
            m_clock.advance(wait - sinceShow - 0.01);
            QVERIFY(!stage.isRunning());
            m_clock.advance(0.02);
            QVERIFY(stage.isRunning());
            m_clock.advance(5.4);
            QVERIFY(!stage.isRunning());
            sinceShow = 5.41;
        }
        QCOMPARE(running.count(), 10);
        // Going off screen stops the schedule but not a show under way.
        m_clock.advance(m_clock.nextDueIn());
        QVERIFY(stage.isRunning());
        stage.setActive(false);
        m_clock.advance(5.4);
        QVERIFY(!stage.isRunning());
        QVERIFY(!stage.isScheduled());
        QCOMPARE(m_clock.pendingCount(), 0);
    }
    void secondRunDuringAShowIsIgnored() {
        CharacterStageController stage(m_clock, *m_director, nullptr);
        stage.runNow(0); // no notch yet
        QVERIFY(!stage.isRunning());
        stage.setViewModel(m_model.get());
        QSignalSpy hits(m_model.get(), &NotchViewModel::isFlinchingChanged);
        stage.runNow(1.2); // as after picking a kind
        QVERIFY(stage.isRunning());
        m_clock.advance(2);
        stage.runNow(0);
        stage.runNow(1.2);
        m_clock.advance(1.2 + 5.4 - 2 - 0.01);
        QVERIFY(stage.isRunning());
        m_clock.advance(0.02);
        QVERIFY(!stage.isRunning());
        QCOMPARE(hits.count(), 6); // one show's three flinches
        QCOMPARE(m_clock.pendingCount(), 0);
    }
    void showPlaysInAClickThroughStrip() {
        HeadlessWindowSystem windows;
        CharacterStageController stage(m_clock, *m_director, &windows);
        stage.setViewModel(m_model.get());
        stage.runNow(0);
        QQuickWindow* panel = stage.panel();
        QVERIFY(panel);
        QVERIFY(panel->isVisible());
        QVERIFY(panel->flags().testFlag(Qt::WindowTransparentForInput));
        QCOMPARE(windows.inputRegion(panel), std::optional<QRegion>(QRegion()));
        QVERIFY(windows.isOnAllDesktops(panel));
        QCOMPARE(panel->size(), QSize(1440, 38));
        m_clock.advance(5.4);
        QVERIFY(!stage.panel());
    }

private:
    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<WidgetStore> m_store;
    std::unique_ptr<NotchViewModel> m_model;
    std::unique_ptr<CharacterDirector> m_director;
    ManualClock m_clock;
};

QTEST_MAIN(CharacterStageTest)
#include "tst_characterstage.moc"
