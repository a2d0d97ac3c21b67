#include "ManualClock.h"
#include "TestEnvironment.h"
#include "core/CaptureVisibility.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetStore.h"
#include "notch/HoverMonitor.h"
#include "notch/NotchPanel.h"
#include "notch/NotchPanelController.h"
#include "notch/NotchViewModel.h"
#include "platform/Defaults.h"
#include "platform/HeadlessPointerSource.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/Screens.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_NotchPlugin)

using namespace notchora;

namespace {

NotchGeometry laptop() {
    ScreenInfo screen;
    screen.frame = screen.visibleFrame = QRectF(0, 0, 1440, 900);
    return NotchGeometry(screen);
}

} // namespace

class NotchPanelControllerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<WidgetStore> m_store;
    std::unique_ptr<QQmlEngine> m_engine;
    ManualClock m_clock;
    HeadlessPointerSource m_pointer;
    HeadlessWindowSystem m_windows;

    // `shown`: on screen, as after start-up.
    std::unique_ptr<NotchPanelController> makeController(bool shown = true) {
        auto controller = std::make_unique<NotchPanelController>(
            *m_store, *m_engine, NotchPanelController::Services{m_clock, m_pointer, m_windows});
        if (shown) {
            controller->setShown(true);
            controller->orderFront();
        }
        return controller;
    }
    QPointF notchCentre() const {
        const auto screen = Screens::shared().mainScreen();
        return {screen->frame.center().x(), screen->frame.bottom() - 1};
    }

private slots:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }
    void init() {
        m_env = std::make_unique<test::TestEnvironment>();
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
        m_store = std::make_unique<WidgetStore>(ModuleRegistry::shared(), *m_defaults);
        m_engine = std::make_unique<QQmlEngine>();
        m_pointer.warpTo({0, 0});
    }
    void cleanup() {
        m_engine.reset();
        m_store.reset();
    }
    // The laptop's notch is (625, 876, 190, 24).
    void hotZoneSizes_data() {
        QTest::addColumn<NotchGeometry>("geometry");
        QTest::addColumn<bool>("expanded");
        QTest::addColumn<QList<double>>("settings"); // lip, scale, sensitivity
        QTest::addColumn<QRectF>("zone");
        const auto row = [](const char* name, bool expanded, QList<double> settings, QRectF zone,
                            NotchGeometry geometry = laptop()) {
            QTest::newRow(name) << geometry << expanded << settings << zone;
        };
        row("collapsed, default sensitivity", false, {0, 1, 0.3}, {610.2, 861.2, 219.6, 55.6});
        row("collapsed with a lip, sensitivity 0", false, {10, 1, 0}, {621, 862, 198, 44});
        row("collapsed ignores the scale", false, {0, 1.3, 1}, {585, 836, 270, 106});
        row("expanded, default settings", true, {0, 1, 0.3}, {475.2, 713.2, 489.6, 203.6});
        row("expanded at scale 1.3, sensitivity 1", true, {0, 1.3, 1}, {381, 636.4, 678, 305.6});
        row("expanded at scale 0.8, sensitivity 0", true, {0, 0.8, 0}, {532, 758.4, 376, 147.6});
        row("expanded ignores the lip", true, {20, 1, 0}, {486, 724, 468, 182});
        row("expanded never narrower than a wide notch", true, {0, 1, 0}, {466, 718, 508, 188},
            NotchGeometry(QRectF(0, 0, 1440, 900), QRectF(470, 870, 500, 30), true));
    }
    void hotZoneSizes() {
        QFETCH(NotchGeometry, geometry);
        QFETCH(bool, expanded);
        QFETCH(QList<double>, settings);
        QFETCH(QRectF, zone);
        QCOMPARE(NotchPanelController::hotZone(geometry, expanded, settings[0], settings[1],
                                               settings[2]),
                 zone);
    }
    void viewModelNotifiesOnlyOnChange() {
        NotchViewModel model(laptop(), *m_store);
        QSignalSpy geometry(&model, &NotchViewModel::geometryChanged);
        QSignalSpy expanded(&model, &NotchViewModel::isExpandedChanged);
        QSignalSpy flinch(&model, &NotchViewModel::isFlinchingChanged);
        QSignalSpy collapsed(&model, &NotchViewModel::collapsedSizeChanged);
        NotchGeometry other = laptop();
        other.notchRect.setHeight(30);
        for (const NotchGeometry& g : {laptop(), other, other})
            model.setGeometry(g);
        for (bool on : {true, true}) {
            model.setIsExpanded(on);
            model.setFlinching(on);
        }
        QCOMPARE((QList<qsizetype>{geometry.count(), collapsed.count(), expanded.count(),
                                   flinch.count()}),
                 (QList<qsizetype>{1, 1, 1, 1}));
        // The lip changes the collapsed size without any other event.
        m_store->setLipHeight(12);
        QCOMPARE(collapsed.count(), 2);
        QCOMPARE(model.collapsedSize(), QSizeF(190, 42));
    }
    void keepsExpandedReleaseCallback() {
        NotchViewModel model(laptop(), *m_store);
        int released = 0;
        model.setOnKeepExpandedReleased([&] { ++released; });
        QSignalSpy keeps(&model, &NotchViewModel::keepsExpandedChanged);
        for (bool keep : {false, true, false})
            model.setKeepsExpanded(keep);
        QCOMPARE(released, 2); // each release, even one that changed nothing
        QCOMPARE(keeps.count(), 2);
    }
    void keepsExpandedHoldsThePanelOpen() {
        auto controller = makeController(false);
        NotchViewModel& model = controller->viewModel();
        controller->setExpanded(true);
        model.setKeepsExpanded(true);
        controller->setExpanded(false);
        QVERIFY(model.isExpanded());
        // Released with the pointer still over the tray: stays open.
        m_pointer.warpTo(notchCentre());
        model.setKeepsExpanded(false);
        QVERIFY(model.isExpanded());
        // Released with the pointer away: collapses at once.
        model.setKeepsExpanded(true);
        m_pointer.warpTo({1, 1});
        model.setKeepsExpanded(false);
        QVERIFY(!model.isExpanded());
    }
    // Open, the panel takes the pointer; the keyboard only while a text field in it has focus.
    void pointerAndKeyboard() {
        auto controller = makeController();
        NotchPanel& panel = controller->panel();
        QCOMPARE(m_windows.inputRegion(&panel), std::optional<QRegion>(QRegion()));
        QQmlComponent component(m_engine.get());
        component.setData("import QtQuick\nTextInput { width: 100; height: 20 }", QUrl());
        std::unique_ptr<QQuickItem> field(qobject_cast<QQuickItem*>(component.create()));
        QVERIFY2(field, qPrintable(component.errorString()));
        field->setParentItem(panel.contentItem());
        const WId editor = 4242; // another program's window
        m_windows.setFocusedWindow(editor);

        // Clicks on the open tray leave the keyboard where it was.
        controller->setExpanded(true);
        QVERIFY(!m_windows.inputRegion(&panel).value_or(QRegion()).isEmpty());
        QVERIFY(panel.allowsKeyFocus());
        QVERIFY(panel.flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(360, 100));
        QCOMPARE(m_windows.focusedWindow(), editor);

        // A text field takes it, and the collapse gives it back.
        field->forceActiveFocus();
        QCOMPARE(m_windows.focusedWindow(), panel.winId());
        QVERIFY(!panel.flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        controller->setExpanded(false);
        QCOMPARE(m_windows.focusedWindow(), editor);
        QVERIFY(panel.flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(!field->hasActiveFocus());
        QVERIFY(!panel.allowsKeyFocus());
        QCOMPARE(m_windows.inputRegion(&panel), std::optional<QRegion>(QRegion()));

        // Opening again does not take it back on its own, nor does a field while collapsed.
        controller->setExpanded(true);
        QCOMPARE(m_windows.focusedWindow(), editor);
        controller->setExpanded(false);
        field->forceActiveFocus();
        QCOMPARE(m_windows.focusedWindow(), editor);

        // The user moved on to a third window while typing: the release leaves it there.
        field->setFocus(false);
        controller->setExpanded(true);
        field->forceActiveFocus();
        QCOMPARE(m_windows.focusedWindow(), panel.winId());
        m_windows.setFocusedWindow(77);
        controller->setExpanded(false);
        QCOMPARE(m_windows.focusedWindow(), WId(77));
    }
    // The delays are the hover monitor's; here the open tray's larger zone keeps it open.
    void hoverOpensAndCloses() {
        auto controller = makeController();
        controller->hoverMonitor().start();
        m_pointer.moveTo(notchCentre());
        m_clock.advance(0.1);
        QVERIFY(controller->viewModel().isExpanded());
        m_pointer.moveTo(notchCentre() - QPointF(0, 120));
        m_clock.advance(1);
        QVERIFY(controller->viewModel().isExpanded());
        m_pointer.moveTo(notchCentre() - QPointF(0, 400));
        m_clock.advance(1);
        QVERIFY(!controller->viewModel().isExpanded());
    }
    void toggleAndOwnCapture() {
        auto controller = makeController();
        controller->hoverMonitor().start();
        controller->setExpanded(true);
        controller->toggle();
        QVERIFY(!controller->isPanelVisible() && !controller->isShown());
        QVERIFY(!controller->viewModel().isExpanded());
        QVERIFY(!controller->hoverMonitor().isRunning());
        controller->toggle();
        QVERIFY(controller->isPanelVisible() && controller->isShown());
        QVERIFY(controller->hoverMonitor().isRunning());

        // Our own capture hides the panel for as long as it runs.
        CaptureVisibility::shared().setAICaptureInProgress(true);
        QVERIFY(!controller->panel().isVisible());
        QVERIFY(controller->isPanelVisible());
        CaptureVisibility::shared().setAICaptureInProgress(false);
        QVERIFY(controller->panel().isVisible());
        // "Tampilkan Widget" during a capture shows the panel only once the capture is done.
        controller->toggle();
        CaptureVisibility::shared().setAICaptureInProgress(true);
        controller->toggle();
        QVERIFY(!controller->panel().isVisible());
        CaptureVisibility::shared().setAICaptureInProgress(false);
        QVERIFY(controller->panel().isVisible());
    }
    void desktopSwitches() {
        auto controller = makeController();
        NotchPanel& panel = controller->panel();
        QVERIFY(!m_windows.isOnAllDesktops(&panel));
        QCOMPARE(panel.alpha(), 1.0);
        // Each switch starts the wait for the fade again.
        m_windows.switchDesktop(1);
        QCOMPARE(panel.alpha(), 0.0);
        m_clock.advance(0.3);
        m_windows.switchDesktop(2);
        m_clock.advance(0.44);
        QVERIFY(!controller->isFadingIn());
        m_clock.advance(0.02);
        QVERIFY(controller->isFadingIn());
        QTRY_COMPARE(panel.alpha(), 1.0);
        // On every desktop there is nothing to fade.
        m_store->setMoveWithSpaces(false);
        QVERIFY(m_windows.isOnAllDesktops(&panel));
        m_windows.switchDesktop(3);
        QCOMPARE(panel.alpha(), 1.0);
        QCOMPARE(m_clock.pendingCount(), 0);
    }
    void repositionWithSameScreenChangesNothing() {
        auto controller = makeController(false);
        QSignalSpy geometry(&controller->viewModel(), &NotchViewModel::geometryChanged);
        controller->repositionPanel();
        QCOMPARE(geometry.count(), 0);
        // The panel hangs from the top centre of the screen.
        const QRect frame = controller->panel().geometry();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(frame.size(), QSize(720, 320));
        QCOMPARE(frame.top(), screen.top());
        QCOMPARE(frame.center().x(), screen.center().x());
    }
    void windowShapeFollowsTheTray() {
        for (const QString& id : ModuleRegistry::shared().ids())
            m_store->setEnabled(true, id);
        auto controller = makeController(false);
        NotchPanel& panel = controller->panel();
        NotchViewModel& model = controller->viewModel();
        QVERIFY(panel.mask().isEmpty());

        // Without a compositor the window is cut to the tray and the collapsed module's slot,
        // which hangs below the notch.
        m_windows.setCompositor(false);
        const TrayLayout& layout = model.layout();
        QVERIFY(!layout.slotRect().isEmpty());
        QVERIFY(panel.mask().contains(layout.slotRect().center().toPoint()));
        QVERIFY(panel.mask().contains(QPoint(360, 1)));
        QVERIFY(!panel.mask().contains(QPoint(360, 200)));

        // Opening follows the springs the root view writes.
        controller->setExpanded(true);
        model.setOpenness(1);
        QCOMPARE(m_windows.inputRegion(&panel),
                 std::optional<QRegion>(QRegion(layout.trayRect().toAlignedRect())));
        QVERIFY(panel.mask().contains(QPoint(360, 160)));
        // The bottom corners are rounded off.
        QVERIFY(!panel.mask().contains(layout.trayRect().bottomLeft().toPoint() - QPoint(-1, 1)));

        // A page dot's tooltip hangs below the tray, and the shape follows it open and shut.
        QObject* tip = nullptr;
        for (QQuickItem* dot : panel.rootObject()->findChild<QQuickItem*>("pageDots")->childItems())
            for (QObject* object : dot->children())
                tip = object->inherits("QQuickToolTip") ? object : tip;
        QVERIFY(tip);
        tip->setProperty("visible", true);
        auto* background = tip->property("background").value<QQuickItem*>();
        QVERIFY(background);
        const auto tipCentre = [&] {
            return background
                ->mapToScene(QPointF(background->width() / 2, background->height() / 2))
                .toPoint();
        };
        QTRY_VERIFY(panel.mask().contains(tipCentre()));
        QVERIFY(tipCentre().y() > layout.trayRect().bottom());
        tip->setProperty("visible", false);
        QTRY_VERIFY(!panel.mask().contains(tipCentre()));

        m_windows.setCompositor(true);
        QVERIFY(panel.mask().isEmpty());
    }
};

QTEST_MAIN(NotchPanelControllerTest)
#include "tst_notchpanelcontroller.moc"
