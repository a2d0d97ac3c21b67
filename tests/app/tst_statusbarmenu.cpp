#include "ManualClock.h"
#include "TestEnvironment.h"
#include "app/StatusBarController.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetStore.h"
#include "notch/NotchPanelController.h"
#include "platform/Defaults.h"
#include "platform/HeadlessPointerSource.h"
#include "platform/HeadlessWindowSystem.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickWindow>
#include <QSystemTrayIcon>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_NotchPlugin)

using namespace notchora;

class StatusBarMenuTest : public QObject {
    Q_OBJECT
    QList<QAction*> openMenu() {
        emit m_world->status.menu().aboutToShow();
        return m_world->status.menu().actions();
    }
    QMenu* moduleMenu() { return openMenu().at(1)->menu(); }
    struct World {
        World(NotchPanelController::Services services, StatusBarController::Actions actions)
            : panel(store, engine, services), status(store, panel, std::move(actions)) {
            panel.setShown(true);
            panel.orderFront();
        }
        test::TestEnvironment env;
        Defaults defaults{env.configHome() + "/notchora/defaults.json"};
        WidgetStore store{ModuleRegistry::shared(), defaults};
        QQmlEngine engine;
        NotchPanelController panel;
        StatusBarController status;
    };
    std::unique_ptr<World> m_world;
    ManualClock m_clock;
    HeadlessPointerSource m_pointer;
    HeadlessWindowSystem m_windows;
    QStringList m_calls;

    // The enabled modules, the checked one marked with a star.
    QStringList moduleItems() {
        QStringList shown;
        for (QAction* item : moduleMenu()->actions())
            shown << item->text() + (item->isChecked() ? "*" : "");
        return shown;
    }

private slots:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }
    void init() {
        m_calls.clear();
        StatusBarController::Actions actions;
        actions.openSettings = [this] { m_calls << "settings"; };
        actions.openScreenshotPanel = [this] { m_calls << "panel"; };
        actions.captureArea = [this] { m_calls << "area"; };
        m_world = std::make_unique<World>(
            NotchPanelController::Services{m_clock, m_pointer, m_windows}, actions);
    }
    void cleanup() { m_world.reset(); }
    void menuItemsInOrderCallTheirActions() {
        const auto items = openMenu();
        QStringList titles;
        for (QAction* item : items)
            titles << (item->isSeparator() ? QString("---") : item->text());
        QCOMPARE(titles,
                 (QStringList{"Sembunyikan Widget", "Pilih Modul", "Screenshot", "Screenshot Area",
                              "---", "Pengaturan…", "---", "Quit Notchora"}));
        QVERIFY(items[1]->menu());
        for (const int index : {2, 3, 5})
            items[index]->trigger();
        QCOMPARE(m_calls, (QStringList{"panel", "area", "settings"}));
        // The first item's title follows the panel; opening again rebuilds rather than appends.
        items[0]->trigger();
        QVERIFY(!m_world->panel.isShown());
        QCOMPARE(openMenu().first()->text(), QString("Tampilkan Widget"));
        openMenu().first()->trigger();
        QVERIFY(m_world->panel.isShown());
        QCOMPARE(openMenu().size(), 8);
    }
    // Which module is checked when the active one is off is the store's rule.
    void moduleSubmenuListsAndSelects() {
        m_world->store.setEnabled(false, "assistant");
        QCOMPARE(moduleItems(), (QStringList{"Pintasan*", "Karakter"}));
        moduleMenu()->actions().at(1)->trigger();
        QCOMPARE(m_world->store.activeModuleID(), QString("characters"));
        QCOMPARE(moduleItems(), (QStringList{"Pintasan", "Karakter*"}));
    }
    // A left click on the icon opens the menu, for trays that send nothing else.
    void leftClickOpensTheMenu() {
        QVERIFY(!m_world->status.menu().isVisible());
        emit m_world->status.statusItem().activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(m_world->status.menu().isVisible());
        m_world->status.menu().hide();
    }
};

QTEST_MAIN(StatusBarMenuTest)
#include "tst_statusbarmenu.moc"
