#include "ManualClock.h"
#include "TestEnvironment.h"
#include "core/CaptureVisibility.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetEnvironment.h"
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

// The test screen is 800 x 600 without a top panel: the notch is 190 x 24, the panel 720 wide.
class NotchPanelControllerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<ModuleRegistry> m_registry;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<WidgetStore> m_store;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<NotchPanelController> m_controller;
    ManualClock m_clock;
    HeadlessPointerSource m_pointer;
    HeadlessWindowSystem m_windows;

    // `shown`: on screen, as after start-up.
    NotchPanelController& makeController(bool shown = true) {
        m_controller = std::make_unique<NotchPanelController>(
            *m_store, *m_engine, NotchPanelController::Services{m_clock, m_pointer, m_windows});
        if (shown) {
            m_controller->setShown(true);
            m_controller->orderFront();
        }
        return *m_controller;
    }
    // On screen and drawn; `expanded`: open with its pages faded in.
    void load(bool expanded = false) {
        makeController();
        QVERIFY(QTest::qWaitForWindowExposed(&m_controller->panel()));
        if (expanded) {
            m_controller->setExpanded(true);
            QTRY_COMPARE(find("expandedContent")->opacity(), 1.0);
        }
    }
    QQuickItem* find(const char* name) const {
        return m_controller->panel().rootObject()->findChild<QQuickItem*>(QLatin1String(name));
    }
    QString pagePosition() const { return find("pager")->property("pagePosition").toString(); }
    double pagesScrolled() const {
        return find("pager")->property("contentX").toDouble() / find("pager")->width();
    }
    static QPointF centreInScene(const QQuickItem* item) {
        return item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    }
    QRectF tray() const { return m_controller->viewModel().layout().trayRect(); }
    QPointF notchCentre() const {
        const auto screen = Screens::shared().mainScreen();
        return {screen->frame.center().x(), screen->frame.bottom() - 1};
    }

private slots:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }
    // Stand-in pages that only hold what the tray hands them.
    void init() {
        m_env = std::make_unique<test::TestEnvironment>();
        const QString page = m_env->root() + "/Page.qml";
        QVERIFY(test::writeFile(page, "import QtQuick\nimport Notchora.Core\n"
                                      "Item { property widgetEnvironment environment }\n"));
        QList<WidgetModule> modules;
        for (const auto& m : ModuleRegistry::defaultModules())
            modules << WidgetModule(m.id(), m.name(), m.iconSystemName(), true,
                                    m.hasCollapsedView(), QUrl::fromLocalFile(page),
                                    QUrl::fromLocalFile(page));
        m_registry = std::make_unique<ModuleRegistry>(modules);
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
        m_store = std::make_unique<WidgetStore>(*m_registry, *m_defaults);
        m_engine = std::make_unique<QQmlEngine>();
        m_engine->addImportPath("qrc:/qt/qml");
        m_pointer.warpTo({0, 0});
    }
    void cleanup() {
        m_controller.reset();
        m_engine.reset();
        m_store.reset();
    }
    void hotZoneSizes_data() {
        QTest::addColumn<QRectF>("notch"); // on a 1440 x 900 screen
        QTest::addColumn<bool>("expanded");
        QTest::addColumn<QList<double>>("settings"); // lip, scale, sensitivity
        QTest::addColumn<QRectF>("zone");
        const auto row = [](const char* name, bool expanded, QList<double> settings, QRectF zone,
                            QRectF notch = {625, 876, 190, 24}) {
            QTest::newRow(name) << notch << expanded << settings << zone;
        };
        row("collapsed, default sensitivity", false, {0, 1, 0.3}, {610.2, 861.2, 219.6, 55.6});
        row("collapsed with a lip, sensitivity 0", false, {10, 1, 0}, {621, 862, 198, 44});
        row("collapsed ignores the scale", false, {0, 1.3, 1}, {585, 836, 270, 106});
        row("expanded, default settings", true, {0, 1, 0.3}, {475.2, 713.2, 489.6, 203.6});
        row("expanded at scale 1.3, sensitivity 1", true, {0, 1.3, 1}, {381, 636.4, 678, 305.6});
        row("expanded ignores the lip", true, {20, 1, 0}, {486, 724, 468, 182});
        row("expanded never narrower than a wide notch", true, {0, 1, 0}, {466, 718, 508, 188},
            {470, 870, 500, 30});
    }
    void hotZoneSizes() {
        QFETCH(QRectF, notch);
        QFETCH(bool, expanded);
        QFETCH(QList<double>, settings);
        QFETCH(QRectF, zone);
        const NotchGeometry geometry(QRectF(0, 0, 1440, 900), notch, false);
        QCOMPARE(NotchPanelController::hotZone(geometry, expanded, settings[0], settings[1],
                                               settings[2]),
                 zone);
    }
    void keepsExpandedHoldsThePanelOpen() {
        NotchPanelController& controller = makeController(false);
        NotchViewModel& model = controller.viewModel();
        controller.setExpanded(true);
        model.setKeepsExpanded(true);
        controller.setExpanded(false);
        QVERIFY(model.isExpanded());
        // Released with the pointer still over the tray: stays open.
        m_pointer.warpTo(notchCentre());
        model.setKeepsExpanded(false);
        QVERIFY(model.isExpanded());
        model.setKeepsExpanded(true);
        m_pointer.warpTo({1, 1});
        model.setKeepsExpanded(false);
        QVERIFY(!model.isExpanded());
    }
    // Open, the panel takes the pointer; the keyboard only while a text field in it has focus.
    void pointerAndKeyboard() {
        NotchPanelController& controller = makeController();
        NotchPanel& panel = controller.panel();
        QCOMPARE(m_windows.inputRegion(&panel), std::optional<QRegion>(QRegion()));
        QQmlComponent component(m_engine.get());
        component.setData("import QtQuick\nTextInput { width: 100; height: 20 }", QUrl());
        std::unique_ptr<QQuickItem> field(qobject_cast<QQuickItem*>(component.create()));
        QVERIFY2(field, qPrintable(component.errorString()));
        field->setParentItem(panel.contentItem());
        const WId editor = 4242; // another program's window
        m_windows.setFocusedWindow(editor);
        // Open, it takes clicks but leaves the keyboard where it was.
        controller.setExpanded(true);
        QVERIFY(!m_windows.inputRegion(&panel).value_or(QRegion()).isEmpty());
        QVERIFY(panel.allowsKeyFocus());
        QVERIFY(panel.flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        // A text field takes it, and the collapse gives it back.
        field->forceActiveFocus();
        QCOMPARE(m_windows.focusedWindow(), panel.winId());
        QVERIFY(!panel.flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        controller.setExpanded(false);
        QCOMPARE(m_windows.focusedWindow(), editor);
        QVERIFY(panel.flags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(!field->hasActiveFocus());
        QVERIFY(!panel.allowsKeyFocus());
        QCOMPARE(m_windows.inputRegion(&panel), std::optional<QRegion>(QRegion()));
        // Opening again does not take it back on its own, nor does a field while collapsed.
        controller.setExpanded(true);
        QCOMPARE(m_windows.focusedWindow(), editor);
        controller.setExpanded(false);
        field->forceActiveFocus();
        QCOMPARE(m_windows.focusedWindow(), editor);
        // The user moved on to a third window while typing: the release leaves it there.
        field->setFocus(false);
        controller.setExpanded(true);
        field->forceActiveFocus();
        QCOMPARE(m_windows.focusedWindow(), panel.winId());
        m_windows.setFocusedWindow(77);
        controller.setExpanded(false);
        QCOMPARE(m_windows.focusedWindow(), WId(77));
    }
    // The delays are the hover monitor's; here the open tray's larger zone keeps it open.
    void hoverOpensAndCloses() {
        NotchPanelController& controller = makeController();
        controller.hoverMonitor().start();
        m_pointer.moveTo(notchCentre());
        m_clock.advance(0.1);
        QVERIFY(controller.viewModel().isExpanded());
        m_pointer.moveTo(notchCentre() - QPointF(0, 120));
        m_clock.advance(1);
        QVERIFY(controller.viewModel().isExpanded());
        m_pointer.moveTo(notchCentre() - QPointF(0, 400));
        m_clock.advance(1);
        QVERIFY(!controller.viewModel().isExpanded());
    }
    void toggleAndOwnCapture() {
        NotchPanelController& controller = makeController();
        controller.hoverMonitor().start();
        controller.setExpanded(true);
        controller.toggle();
        QVERIFY(!controller.viewModel().isExpanded() && !controller.hoverMonitor().isRunning());
        controller.toggle();
        QVERIFY(controller.hoverMonitor().isRunning());
        // Our own capture hides the panel for as long as it runs.
        CaptureVisibility::shared().setAICaptureInProgress(true);
        QVERIFY(!controller.panel().isVisible());
        QVERIFY(controller.isPanelVisible());
        CaptureVisibility::shared().setAICaptureInProgress(false);
        QVERIFY(controller.panel().isVisible());
        // "Tampilkan Widget" during a capture shows the panel only once the capture is done.
        controller.toggle();
        CaptureVisibility::shared().setAICaptureInProgress(true);
        controller.toggle();
        QVERIFY(!controller.panel().isVisible());
        CaptureVisibility::shared().setAICaptureInProgress(false);
        QVERIFY(controller.panel().isVisible());
    }
    void desktopSwitches() {
        NotchPanelController& controller = makeController();
        NotchPanel& panel = controller.panel();
        QVERIFY(!m_windows.isOnAllDesktops(&panel));
        // Each switch starts the wait for the fade again.
        m_windows.switchDesktop(1);
        QCOMPARE(panel.alpha(), 0.0);
        m_clock.advance(0.3);
        m_windows.switchDesktop(2);
        m_clock.advance(0.44);
        QVERIFY(!controller.isFadingIn());
        m_clock.advance(0.02);
        QVERIFY(controller.isFadingIn());
        QTRY_COMPARE(panel.alpha(), 1.0);
    }
    void windowShapeFollowsTheTray() {
        NotchPanelController& controller = makeController(false);
        NotchPanel& panel = controller.panel();
        NotchViewModel& model = controller.viewModel();
        // Without a compositor the shape is the tray plus the slot hanging below the notch.
        m_windows.setCompositor(false);
        const TrayLayout& layout = model.layout();
        QVERIFY(panel.mask().contains(layout.slotRect().center().toPoint()));
        QVERIFY(panel.mask().contains(QPoint(360, 1)));
        QVERIFY(!panel.mask().contains(QPoint(360, 200)));
        // Opening follows the springs the root view writes.
        controller.setExpanded(true);
        model.setOpenness(1);
        QCOMPARE(m_windows.inputRegion(&panel),
                 std::optional<QRegion>(QRegion(layout.trayRect().toAlignedRect())));
        QVERIFY(panel.mask().contains(QPoint(360, 160)));
        // The bottom corners are rounded off.
        QVERIFY(!panel.mask().contains(layout.trayRect().bottomLeft().toPoint() - QPoint(-1, 1)));
        // A page dot's tooltip hangs below the tray, and the shape follows it open and shut.
        QObject* tip = nullptr;
        for (QQuickItem* dot : find("pageDots")->childItems())
            for (QObject* object : dot->children())
                tip = object->inherits("QQuickToolTip") ? object : tip;
        QVERIFY(tip);
        tip->setProperty("visible", true);
        auto* background = tip->property("background").value<QQuickItem*>();
        QVERIFY(background);
        const auto tipCentre = [&] { return centreInScene(background).toPoint(); };
        QTRY_VERIFY(panel.mask().contains(tipCentre()));
        QVERIFY(tipCentre().y() > layout.trayRect().bottom());
        tip->setProperty("visible", false);
        QTRY_VERIFY(!panel.mask().contains(tipCentre()));
        m_windows.setCompositor(true);
        QVERIFY(panel.mask().isEmpty());
    }
    void pagerTurnsWithoutWrapping_data() {
        QTest::addColumn<QStringList>("enabled");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QList<int>>("turns");
        QTest::addColumn<QStringList>("positions");
        const QStringList all{"shortcuts", "assistant", "characters"};
        QTest::newRow("forward to the end and no further")
            << all << "shortcuts" << QList<int>{1, 1, 1}
            << QStringList{"assistant", "characters", "characters"};
        QTest::newRow("big jumps stop at the ends")
            << all << "assistant" << QList<int>{5, -9} << QStringList{"characters", "shortcuts"};
        QTest::newRow("one module: swipes do nothing")
            << QStringList{"assistant"} << "assistant" << QList<int>{1, -1}
            << QStringList{"assistant", "assistant"};
        QTest::newRow("disabled module skipped")
            << QStringList{"shortcuts", "characters"} << "characters" << QList<int>{-1, 1}
            << QStringList{"shortcuts", "characters"};
    }
    void pagerTurnsWithoutWrapping() {
        QFETCH(QStringList, enabled);
        QFETCH(QString, active);
        QFETCH(QList<int>, turns);
        QFETCH(QStringList, positions);
        for (const QString& id : m_registry->ids())
            m_store->setEnabled(enabled.contains(id), id);
        m_store->select(active);
        load();
        for (int i = 0; i < turns.size(); ++i) {
            QMetaObject::invokeMethod(find("pager"), "turn", Q_ARG(int, turns[i]));
            QCOMPARE(pagePosition(), positions[i]);
            QCOMPARE(m_store->activeModuleID(), positions[i]);
        }
        QTRY_COMPARE(pagesScrolled(), double(enabled.indexOf(positions.last())));
    }
    // Chosen while collapsed, shown on opening; while open, the pager scrolls, not jumps.
    void selectionScrollsThePager_data() {
        QTest::addColumn<bool>("expanded");
        QTest::addColumn<bool>("byDot");
        QTest::newRow("status menu, collapsed") << false << false;
        QTest::newRow("status menu, open") << true << false;
        QTest::newRow("page dot") << true << true;
    }
    void selectionScrollsThePager() {
        QFETCH(bool, expanded);
        QFETCH(bool, byDot);
        load(expanded);
        QSignalSpy moves(find("pager"), SIGNAL(contentXChanged()));
        if (byDot) {
            QQuickItem* dot = nullptr;
            for (QQuickItem* child : find("pageDots")->childItems())
                dot = child->property("moduleID").toString() == "characters" ? child : dot;
            QVERIFY(dot);
            QTest::mouseClick(&m_controller->panel(), Qt::LeftButton, {},
                              centreInScene(dot).toPoint());
        } else {
            m_store->select("characters");
        }
        QCOMPARE(pagePosition(), QString("characters"));
        QCOMPARE(m_store->activeModuleID(), QString("characters"));
        QTRY_COMPARE(pagesScrolled(), 2.0);
        if (expanded)
            QVERIFY2(moves.count() >= 3, qPrintable(QString::number(moves.count())));
    }
    void oneSwipeTurnsOnePage_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("position");
        QTest::newRow("fingers to the left: next page")
            << "shortcuts" << false << -30 << "assistant";
        QTest::newRow("fingers to the right: previous page")
            << "characters" << false << 30 << "assistant";
        QTest::newRow("natural scrolling flips the deltas")
            << "shortcuts" << true << 30 << "assistant";
        QTest::newRow("a short swipe turns nothing") << "shortcuts" << false << -5 << "shortcuts";
    }
    void oneSwipeTurnsOnePage() {
        QFETCH(QString, start);
        QFETCH(bool, inverted);
        QFETCH(int, step);
        QFETCH(QString, position);
        m_store->select(start);
        load(true);
        NotchPanel& panel = m_controller->panel();
        const QPointF at = centreInScene(find("pager"));
        for (int i = 0; i < 10; ++i) {
            QWheelEvent event(at, panel.mapToGlobal(at), QPoint(step, 0), QPoint(step * 2, 0),
                              Qt::NoButton, Qt::NoModifier,
                              i == 0 ? Qt::ScrollBegin : Qt::ScrollUpdate, inverted);
            QCoreApplication::sendEvent(&panel, &event);
        }
        QCOMPARE(pagePosition(), position);
    }
    // The page dots, the collapsed slot and the pages' environment follow the store and model.
    void viewFollowsTheStore() {
        load();
        QQuickItem* dots = find("pageDots");
        QQuickItem* slot = find("collapsedSlot");
        QVERIFY(slot->isVisible());
        const auto values = [&] {
            QQuickItem* item = nullptr;
            QMetaObject::invokeMethod(find("pager"), "itemAtIndex", Q_RETURN_ARG(QQuickItem*, item),
                                      Q_ARG(int, 0));
            const auto* view = item->property("view").value<QQuickItem*>();
            const auto e = view->property("environment").value<WidgetEnvironment>();
            return QList<double>() << e.notchWidth << e.notchHeight << e.collapsedHeight
                                   << e.slotToNotchEdge << e.animationSpeed << e.animationsPaused
                                   << (e.notchViewModel == &m_controller->viewModel());
        };
        QCOMPARE(values(), (QList<double>{190, 24, 24, 40, 1, 1, 1}));
        m_controller->setExpanded(true);
        m_store->setAnimationSpeed(1.5);
        m_store->setLipHeight(8);
        QCOMPARE(values(), (QList<double>{190, 24, 32, 40, 1.5, 0, 1}));
        QTRY_VERIFY(dots->isVisible());
        m_store->setEnabled(false, "assistant");
        m_store->setEnabled(false, "characters");
        QVERIFY(!dots->isVisible());
        QVERIFY(!slot->isVisible());
    }
    // The pointer leaving mid-way reverses the spring from where it was, at the same speed.
    void springReversalKeepsItsSpeed() {
        QQmlComponent component(m_engine.get());
        component.setData("import Notchora.Notch\nSpring {}", QUrl());
        std::unique_ptr<QObject> spring(component.create());
        QVERIFY2(spring, qPrintable(component.errorString()));
        auto animateTo = [&](double target, double response, double damping, double frozenAt) {
            QMetaObject::invokeMethod(spring.get(), "animateTo", Q_ARG(QVariant, target),
                                      Q_ARG(QVariant, response), Q_ARG(QVariant, damping));
            spring->property("clock").value<QObject*>()->setProperty("paused", true);
            spring->setProperty("_time", frozenAt);
        };
        auto velocity = [&] {
            QVariant result;
            QMetaObject::invokeMethod(spring.get(), "velocity", Q_RETURN_ARG(QVariant, result));
            return result.toDouble();
        };
        animateTo(1.0, 0.42, 0.82, 0.08);
        const double value = spring->property("value").toDouble();
        const double speed = velocity();
        QVERIFY(value > 0.1 && value < 0.9);
        QVERIFY(speed > 1);
        animateTo(0.0, 0.34, 1.0, 0);
        QCOMPARE(spring->property("value").toDouble(), value);
        QVERIFY(qAbs(velocity() - speed) < speed * 0.01);
    }
    // The springs carry the tray to the store's scale and back.
    void springsCarryTheTray() {
        m_store->setWidgetScale(1.3);
        load();
        const QRectF notch(360 - 95, 0, 190, 24);
        m_controller->setExpanded(true);
        QTRY_COMPARE(tray(), QRectF(360 - 230 * 1.3, 0, 460 * 1.3, 172 * 1.3));
        m_controller->setExpanded(false);
        QTRY_COMPARE(tray(), notch);
        QTRY_VERIFY(!find("expandedContent")->isVisible());
    }
};

QTEST_MAIN(NotchPanelControllerTest)
#include "tst_notchpanelcontroller.moc"
