#include "AppDelegate.h"

#include "Clock.h"
#include "Defaults.h"
#include "HoverMonitor.h"
#include "NotchPanelController.h"
#include "NotchViewModel.h"
#include "Platform.h"
#include "StatusBarController.h"
#include "UpdateChecker.h"

namespace notchora {

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent), m_store(ModuleRegistry::shared(), Defaults::shared()) {}

AppDelegate::~AppDelegate() {
    m_statusBarController.reset();
    m_panelController.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    UpdateChecker::shared().startAutomaticChecks();

    // No taskbar entry: the program opens no ordinary window, and its panels are marked
    // to stay out of taskbars and pagers.

    Platform& platform = Platform::shared();
    m_panelController = std::make_unique<NotchPanelController>(
        m_store, m_engine,
        NotchPanelController::Services{Clock::system(), platform.pointer(), platform.windows()});
    m_panelController->setShown(true);
    m_panelController->repositionPanel();
    m_panelController->orderFront();
    m_panelController->hoverMonitor().start();

    m_panelController->viewModel().setOpenSettings([this] { showSettings(); });

    StatusBarController::Actions actions;
    actions.openSettings = [this] { showSettings(); };
    actions.openScreenshotPanel = [] {};
    actions.captureArea = [] {};
    m_statusBarController =
        std::make_unique<StatusBarController>(m_store, *m_panelController, std::move(actions));
}

bool AppDelegate::applicationShouldHandleReopen() {
    showSettings();
    return true;
}

void AppDelegate::handleRequest(const QStringList& request) {
    const QString command = request.value(0);
    if (command == QLatin1String("toggle-widget")) {
        if (m_statusBarController)
            m_statusBarController->toggleWidget();
    } else {
        applicationShouldHandleReopen();
    }
}

void AppDelegate::showSettings() {
    // The program has no settings window to show.
}

} // namespace notchora
