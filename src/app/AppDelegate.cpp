#include "app/AppDelegate.h"

#include "answer/AnswerAuth.h"
#include "answer/ChatHistoryStore.h"
#include "answer/KeychainStore.h"
#include "app/AccountCommand.h"
#include "app/AskCommand.h"
#include "app/HistoryCommand.h"
#include "app/SettingsWindowController.h"
#include "app/SingleInstance.h"
#include "app/SingleInstanceRequest.h"
#include "app/StatusBarController.h"
#include "assistant/AIAssistantService.h"
#include "assistant/AnswerPopupController.h"
#include "assistant/AttachmentImageProvider.h"
#include "characters/CharacterStageController.h"
#include "core/UpdateChecker.h"
#include "notch/HoverMonitor.h"
#include "notch/NotchPanelController.h"
#include "notch/NotchViewModel.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/Platform.h"
#include "screenshot/ScreenshotAction.h"
#include "screenshot/ScreenshotShortcuts.h"

namespace notchora {

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent), m_store(ModuleRegistry::shared(), Defaults::shared()) {}

AppDelegate::~AppDelegate() {
    m_statusBarController.reset();
    m_settingsWindowController.reset();
    m_panelController.reset();
}

void AppDelegate::applicationDidFinishLaunching() {
    UpdateChecker::shared().startAutomaticChecks();

    // No taskbar entry: the program opens no ordinary window, and its panels are marked
    // to stay out of taskbars and pagers.

    Platform& platform = Platform::shared();
    // The assistant's page shows the images waiting to go with a question.
    registerAttachmentImages(m_engine);
    m_panelController = std::make_unique<NotchPanelController>(
        m_store, m_engine,
        NotchPanelController::Services{Clock::system(), platform.pointer(), platform.windows()});
    m_panelController->setShown(true);
    m_panelController->repositionPanel();
    m_panelController->orderFront();
    m_panelController->hoverMonitor().start();

    // The window itself is made on the first show().
    m_settingsWindowController = std::make_unique<SettingsWindowController>(
        SettingsWindowController::sharedServices(m_store, m_loginItem), m_engine);
    m_panelController->viewModel().setOpenSettings([this] { showSettings(); });
    // The stage shows strike this notch.
    CharacterStageController::shared().setViewModel(&m_panelController->viewModel());

    StatusBarController::Actions actions;
    actions.openSettings = [this] { showSettings(); };
    actions.openScreenshotPanel = [] { ScreenshotAction::shared().openScreenshotPanel(); };
    actions.captureArea = [] { ScreenshotAction::shared().captureArea(); };
    m_statusBarController =
        std::make_unique<StatusBarController>(m_store, *m_panelController, std::move(actions));
    // Shift+Super+5 and Shift+Super+4 from anywhere on the desktop.
    ScreenshotShortcuts::shared();
    // The assistant lives for the whole run; its views reach it as Notchora.Assistant's
    // AIAssistantService singleton.
    auto& assistant = AIAssistantService::shared();
    auto& popup = AnswerPopupController::shared();
    connect(&assistant, &AIAssistantService::answerPopupRequested, &popup,
            &AnswerPopupController::show);
    // Closing the popup stops the question it was showing.
    connect(&popup, &AnswerPopupController::closed, &assistant, &AIAssistantService::cancel);
}

bool AppDelegate::applicationShouldHandleReopen() {
    showSettings();
    return true;
}

void AppDelegate::handleRequest(const QStringList& request, SingleInstanceReply* reply) {
    const QString command = request.value(0);
    if (command == QLatin1String("toggle-widget")) {
        if (m_statusBarController)
            m_statusBarController->toggleWidget();
    } else if (command == QLatin1String("open-url")) {
        if (!AnswerAuth::shared().handleCallback(QUrl(request.value(1)))) {
            reply->finish(1, QStringLiteral("Tidak ada login yang sedang menunggu."));
            return;
        }
    } else if (command == QLatin1String(AskCommand::verb)) {
        QString error;
        const auto options = AskCommand::parse(request.mid(1), error);
        if (!options) {
            reply->finish(2, error);
            return;
        }
        reply->defer();
        auto* ask = new AskCommand(AIAssistantService::shared(), *options, reply);
        connect(ask, &AskCommand::output, reply, &SingleInstanceReply::send);
        connect(ask, &AskCommand::finished, reply, [reply](int exitCode, const QString& message) {
            reply->finish(exitCode, message);
        });
        ask->start();
        return;
    } else if (command == QLatin1String(HistoryCommand::verb)) {
        const auto text = HistoryCommand::run(ChatHistoryStore::shared(), request.mid(1));
        reply->finish(text ? 0 : 2, text.value_or(HistoryCommand::usage()));
        return;
    } else if (AccountCommand::isAccountVerb(command)) {
        reply->defer();
        auto* account =
            new AccountCommand(AnswerAuth::shared(), KeychainStore::shared(), command, reply);
        connect(account, &AccountCommand::finished, reply,
                [reply](int exitCode, const QString& output) { reply->finish(exitCode, output); });
        account->start();
        return;
    } else if (command == QLatin1String("reopen")) {
        applicationShouldHandleReopen();
    } else {
        reply->finish(SingleInstanceRequest::badRequestExitCode,
                      SingleInstanceRequest::unknownCommandMessage(command));
        return;
    }
    reply->finish();
}

void AppDelegate::showSettings() {
    if (m_settingsWindowController)
        m_settingsWindowController->show();
}

} // namespace notchora
