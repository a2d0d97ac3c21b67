#include "app/SettingsWindowController.h"

#include "answer/AnswerAuth.h"
#include "answer/ChatHistoryStore.h"
#include "app/Logging.h"
#include "characters/CharacterDirector.h"
#include "core/UpdateChecker.h"
#include "core/WidgetStore.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>

namespace notchora {

SettingsWindowController::SettingsWindowController(SettingsViewModel::Services services,
                                                   QQmlEngine& engine, QObject* parent)
    : QObject(parent), m_services(services), m_engine(engine) {}

SettingsWindowController::~SettingsWindowController() {
    m_window.reset();
    m_viewModel.reset();
}

SettingsViewModel::Services SettingsWindowController::sharedServices(WidgetStore& store,
                                                                     LoginItem& loginItem) {
    return {store.defaults(),
            store,
            CharacterDirector::shared(),
            AnswerAuth::shared(),
            ChatHistoryStore::shared(),
            UpdateChecker::shared(),
            loginItem};
}

bool SettingsWindowController::create() {
    // Our QML modules live under qrc:/qt/qml.
    m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent component(&m_engine,
                            QUrl(QStringLiteral("qrc:/qt/qml/Notchora/App/SettingsWindow.qml")));
    if (!component.isReady()) {
        qCWarning(lcApp) << "cannot load the settings window:" << component.errorString();
        return false;
    }
    auto model = std::make_unique<SettingsViewModel>(m_services);
    std::unique_ptr<QObject> root(component.createWithInitialProperties(
        {{QStringLiteral("settings"), QVariant::fromValue(model.get())}}));
    auto* window = qobject_cast<QQuickWindow*>(root.get());
    if (!window) {
        qCWarning(lcApp) << "the settings view is not a window:" << component.errorString();
        return false;
    }
    root.release();
    m_viewModel = std::move(model);
    m_window.reset(window);
    window->setTitle(QString::fromUtf8(windowTitle));
    window->resize(windowWidth, windowHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->setPosition(frame.topLeft());
    }
    return true;
}

void SettingsWindowController::show() {
    if (!m_window && !create())
        return;
    if (m_window->windowState() & Qt::WindowMinimized)
        m_window->showNormal();
    else
        m_window->show();
    m_window->raise();
    m_window->requestActivate();
}

} // namespace notchora
