#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace notchora {

class NotchPanelController;
class WidgetStore;

// The tray icon and its menu: show or hide the widget, pick the module, take screenshots,
// open the settings, quit. The menu is rebuilt each time it is about to open, so it always
// shows the current modules and states.
class StatusBarController : public QObject {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> openSettings;
        std::function<void()> openScreenshotPanel;
        std::function<void()> captureArea;
    };

    StatusBarController(WidgetStore& store, NotchPanelController& panelController, Actions actions,
                        QObject* parent = nullptr);
    ~StatusBarController() override;

    QSystemTrayIcon& statusItem() const { return *m_statusItem; }
    QMenu& menu() const { return *m_menu; }

    // Fills the menu from scratch (on every aboutToShow).
    void rebuildMenu();

    void toggleWidget();
    // Selects the module whose ID the action carries; anything else is ignored.
    void selectModule(QAction* item);
    void openScreenshotPanel();
    void captureArea();
    void showSettings();
    void quit();

private:
    WidgetStore& m_store;
    NotchPanelController& m_panelController;
    Actions m_actions;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_statusItem;
    QPointer<QMenu> m_moduleMenu;
};

} // namespace notchora
