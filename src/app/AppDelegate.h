#pragma once

#include "core/WidgetStore.h"

#include <QObject>
#include <QQmlEngine>
#include <memory>

namespace notchora {

class NotchPanelController;
class SingleInstanceReply;
class StatusBarController;

// Owns the top-level objects for the whole run and performs the start-up sequence.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    WidgetStore& store() { return m_store; }
    NotchPanelController* panelController() const { return m_panelController.get(); }
    StatusBarController* statusBarController() const { return m_statusBarController.get(); }

    void applicationDidFinishLaunching();
    // The user started the program again while it runs: bring the settings forward.
    bool applicationShouldHandleReopen();
    // A request handed over by a second start: "reopen", "toggle-widget", "open-url URL"
    // (the browser's sign-in redirect), "signin", "signout", "status", "ask …" (answered
    // as the answer streams), "history [show]".
    void handleRequest(const QStringList& request, SingleInstanceReply* reply);

private:
    void showSettings();

    WidgetStore m_store;
    // Declared before the controllers that use it, so it outlives them.
    QQmlEngine m_engine;
    std::unique_ptr<NotchPanelController> m_panelController;
    std::unique_ptr<StatusBarController> m_statusBarController;
};

} // namespace notchora
