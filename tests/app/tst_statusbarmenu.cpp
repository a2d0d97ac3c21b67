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
    QMenu* moduleMenu() {
        const auto items = openMenu();
        return items.value(1) ? items.value(1)->menu() : nullptr;
    }
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
        QCOMPARE(items[5]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
        QCOMPARE(items[7]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        // The screenshot hints are part of the titles only.
        QVERIFY(items[2]->shortcut().isEmpty());
        QVERIFY(items[3]->shortcut().isEmpty());
        items[2]->trigger();
        items[3]->trigger();
        items[5]->trigger();
        QCOMPARE(m_calls, (QStringList{"panel", "area", "settings"}));
        // Opening again rebuilds rather than appends.
        QCOMPARE(openMenu().size(), 8);
    }
    void moduleSubmenu_data() {
        QTest::addColumn<QStringList>("disabled");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("checked");
        QTest::newRow("first run")
            << QStringList{} << "shortcuts" << QStringList{"Pintasan", "AI Assistant", "Karakter"}
            << "Pintasan";
        QTest::newRow("disabled module missing")
            << QStringList{"assistant"} << "shortcuts" << QStringList{"Pintasan", "Karakter"}
            << "Pintasan";
        QTest::newRow("active module disabled: check on the first enabled")
            << QStringList{"shortcuts"} << "shortcuts" << QStringList{"AI Assistant", "Karakter"}
            << "AI Assistant";
    }
    void moduleSubmenu() {
        QFETCH(QStringList, disabled);
        QFETCH(QString, active);
        QFETCH(QStringList, titles);
        QFETCH(QString, checked);
        m_store->select(active);
        for (const QString& id : disabled)
            m_store->setEnabled(false, id);
        QMenu* menu = moduleMenu();
        QVERIFY(menu);
        QStringList shown;
        QStringList on;
        for (QAction* item : menu->actions()) {
            shown << item->text();
            QVERIFY(item->isCheckable());
            QVERIFY(!item->icon().isNull());
            if (item->isChecked())
                on << item->text();
        }
        QCOMPARE(shown, titles);
        QCOMPARE(on, QStringList{checked});
    }
    void toggleTitleFollowsThePanel() {
        openMenu().first()->trigger();
        QCOMPARE(openMenu().first()->text(), QString("Tampilkan Widget"));
        QVERIFY(!m_panel->isShown());
        openMenu().first()->trigger();
        QCOMPARE(openMenu().first()->text(), QString("Sembunyikan Widget"));
        QVERIFY(m_panel->isShown());
    }
    void choosingAModuleSelectsIt() {
        QMenu* menu = moduleMenu();
        menu->actions().at(2)->trigger();
        QCOMPARE(m_store->activeModuleID(), QString("characters"));
        QCOMPARE(moduleMenu()->actions().at(2)->isChecked(), true);
        // The items are a radio group: choosing the active one again leaves it checked.
        QAction* current = moduleMenu()->actions().at(2);
        QVERIFY(current->actionGroup() && current->actionGroup()->isExclusive());
        current->trigger();
        QVERIFY(current->isChecked());
        QCOMPARE(m_store->activeModuleID(), QString("characters"));
        // Something that is not a module ID is ignored.
        QAction stray;
        stray.setData(42);
        m_status->selectModule(&stray);
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
