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
        emit m_status->menu().aboutToShow();
        return m_status->menu().actions();
    }
    QMenu* moduleMenu() { return openMenu().at(1)->menu(); }
    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<WidgetStore> m_store;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<NotchPanelController> m_panel;
    std::unique_ptr<StatusBarController> m_status;
    ManualClock m_clock;
    HeadlessPointerSource m_pointer;
    HeadlessWindowSystem m_windows;
    QStringList m_calls;

private slots:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }
    void init() {
        m_env = std::make_unique<test::TestEnvironment>();
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
        m_store = std::make_unique<WidgetStore>(ModuleRegistry::shared(), *m_defaults);
        m_engine = std::make_unique<QQmlEngine>();
        m_panel = std::make_unique<NotchPanelController>(
            *m_store, *m_engine, NotchPanelController::Services{m_clock, m_pointer, m_windows});
        m_panel->setShown(true);
        m_panel->orderFront();
        m_calls.clear();
        StatusBarController::Actions actions;
        actions.openSettings = [this] { m_calls << "settings"; };
        actions.openScreenshotPanel = [this] { m_calls << "panel"; };
        actions.captureArea = [this] { m_calls << "area"; };
        m_status = std::make_unique<StatusBarController>(*m_store, *m_panel, actions);
    }
    void cleanup() {
        m_status.reset();
        m_panel.reset();
        m_engine.reset();
        m_store.reset();
        m_defaults.reset();
        m_env.reset();
    }
    void menuItemsInOrderCallTheirActions() {
        const auto items = openMenu();
        QStringList titles;
        for (QAction* item : items)
            titles << (item->isSeparator() ? QString("---") : item->text());
        QCOMPARE(titles,
                 (QStringList{"Sembunyikan Widget", "Pilih Modul", "Screenshot", "Screenshot Area",
                              "---", "Pengaturan…", "---", "Quit Notchora"}));
        QVERIFY(items[1]->menu());
        items[2]->trigger();
        items[3]->trigger();
        items[5]->trigger();
        QCOMPARE(m_calls, (QStringList{"panel", "area", "settings"}));
        // The first item's title follows the panel; opening again rebuilds rather than appends.
        items[0]->trigger();
        QVERIFY(!m_panel->isShown());
        QCOMPARE(openMenu().first()->text(), QString("Tampilkan Widget"));
        openMenu().first()->trigger();
        QVERIFY(m_panel->isShown());
        QCOMPARE(openMenu().size(), 8);
    }
    // Which module is checked when the active one is off is the store's rule.
    void moduleSubmenuListsAndSelects() {
        m_store->setEnabled(false, "assistant");
        QStringList shown;
        QStringList on;
        for (QAction* item : moduleMenu()->actions()) {
            shown << item->text();
            if (item->isChecked())
                on << item->text();
        }
        QCOMPARE(shown, (QStringList{"Pintasan", "Karakter"}));
        QCOMPARE(on, QStringList{"Pintasan"});
        moduleMenu()->actions().at(1)->trigger();
        QCOMPARE(m_store->activeModuleID(), QString("characters"));
        // The items are a radio group: choosing the active one again leaves it checked.
        QAction* current = moduleMenu()->actions().at(1);
        QVERIFY(current->isChecked() && current->actionGroup()->isExclusive());
        current->trigger();
        QVERIFY(current->isChecked());
        QCOMPARE(m_store->activeModuleID(), QString("characters"));
    }
    // A left click on the icon opens the menu, for trays that send nothing else.
    void leftClickOpensTheMenu() {
        QVERIFY(!m_status->menu().isVisible());
        emit m_status->statusItem().activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY(m_status->menu().isVisible());
        m_status->menu().hide();
    }
};

QTEST_MAIN(StatusBarMenuTest)
#include "tst_statusbarmenu.moc"
