#include "assistant/AnswerPopupController.h"

#include "answer/AISettings.h"
#include "assistant/AnswerPanel.h"
#include "assistant/AttachmentImageProvider.h"
#include "assistant/Logging.h"
#include "core/CaptureVisibility.h"
#include "platform/Browser.h"
#include "platform/Defaults.h"
#include "platform/Platform.h"
#include "platform/Screens.h"
#include "platform/WindowSystem.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QQmlEngine>
#include <cmath>

namespace notchora {

AnswerPopupController::AnswerPopupController(Services services, QObject* parent)
    : QObject(parent), m_services(services) {
    connect(&m_services.defaults, &Defaults::changed, this, [this](const QString& key) {
        if (key == AISettings::popupPositionSetting.name())
            emit positionChanged();
    });
    connect(&CaptureVisibility::shared(), &CaptureVisibility::didChange, this,
            &AnswerPopupController::applyCaptureRule);
}

AnswerPopupController::~AnswerPopupController() {
    if (m_fade)
        m_fade->stop();
    // The view goes before the engine it runs in.
    m_panel.reset();
}

AnswerPopupController& AnswerPopupController::shared() {
    static AnswerPopupController controller(
        Services{Platform::shared().windows(), Defaults::shared(), nullptr,
                 QUrl(QStringLiteral("qrc:/qt/qml/Notchora/Assistant/AnswerPopup.qml"))});
    return controller;
}

AnswerPopupController* AnswerPopupController::create(QQmlEngine*, QJSEngine*) {
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

QPointF AnswerPopupController::placement(AIPopupPosition position,
                                         const std::optional<QPointF>& freeOrigin,
                                         const QRectF& area, const QList<QRectF>& screens) {
    const double width = AnswerPanel::cardSize.width();
    const double height = AnswerPanel::cardSize.height();
    const double y = area.y() + area.height() - height - margin;
    if (position == AIPopupPosition::Left)
        return {area.x() + margin, y};
    if (position == AIPopupPosition::Free && freeOrigin) {
        // A monitor unplugged since the drag can leave the origin nowhere the user could
        // reach; that show goes top right, and the origin is kept for when it comes back.
        const QRectF top(freeOrigin->x(), freeOrigin->y() + height - reachableSide, width,
                         reachableSide);
        for (const QRectF& screen : screens) {
            const QRectF shared = screen.intersected(top);
            if (shared.width() >= reachableSide && shared.height() >= reachableSide)
                return *freeOrigin;
        }
    }
    return {area.x() + area.width() - width - margin, y};
}

bool AnswerPopupController::isOwnMove(const std::optional<QPointF>& programmaticOrigin,
                                      const QPointF& origin) {
    return programmaticOrigin &&
           std::abs(origin.x() - programmaticOrigin->x()) < ownMoveTolerance &&
           std::abs(origin.y() - programmaticOrigin->y()) < ownMoveTolerance;
}

QQmlEngine& AnswerPopupController::engine() {
    if (m_services.engine)
        return *m_services.engine;
    if (!m_ownEngine) {
        m_ownEngine = std::make_unique<QQmlEngine>();
        m_ownEngine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    }
    return *m_ownEngine;
}

void AnswerPopupController::makePanel() {
    QQmlEngine& qml = engine();
    qml.addImportPath(QStringLiteral("qrc:/qt/qml"));
    // The follow-up field's waiting images.
    registerAttachmentImages(qml);
    m_panel = std::make_unique<AnswerPanel>(&qml, m_services.windows);
    m_services.windows.preparePanel(m_panel.get());
    m_services.windows.setOnAllDesktops(m_panel.get(), true);
    m_panel->setInitialProperties({{"controller", QVariant::fromValue(this)}});
    m_panel->setSource(m_services.view);
    for (const QQmlError& error : m_panel->errors())
        qCWarning(lcAssistant) << "cannot load the answer popup:" << error.toString();
    connect(m_panel.get(), &QWindow::visibleChanged, this, &AnswerPopupController::visibleChanged);
    // The window manager leaves the panel alone: a drag of its background is the only way
    // the user moves it.
    connect(m_panel.get(), &AnswerPanel::dragFinished, this, &AnswerPopupController::observeMove);
}

void AnswerPopupController::show() {
    if (!m_panel)
        makePanel();
    applyPosition();
    if (!m_panel->isVisible())
        m_panel->setAlpha(0);
    if (CaptureVisibility::shared().isAICaptureInProgress()) {
        // Not in our own capture's picture: it appears once the capture is done.
        m_hiddenForCapture = true;
        return;
    }
    m_panel->orderFront();
    if (!m_fade) {
        m_fade = new QPropertyAnimation(m_panel.get(), "alpha", this);
        m_fade->setDuration(int(fadeDuration * 1000));
        m_fade->setEndValue(1.0);
    }
    m_fade->stop();
    m_fade->setStartValue(m_panel->alpha());
    m_fade->start();
}

void AnswerPopupController::applyPosition() {
    if (!m_panel)
        return;
    Screens& screens = Screens::shared();
    QRectF area;
    if (const auto main = screens.mainScreen())
        area = main->visibleFrame;
    else if (const auto all = screens.screens(); !all.isEmpty())
        area = all.first().visibleFrame;
    QList<QRectF> frames;
    for (const ScreenInfo& screen : screens.screens())
        frames.append(screen.frame);
    const QPointF origin = placement(AISettings::popupPosition(m_services.defaults),
                                     AISettings::freeOrigin(m_services.defaults), area, frames);
    m_programmaticOrigin = origin;
    const QRectF card = screens.toQt(QRectF(origin, QSizeF(AnswerPanel::cardSize)));
    m_panel->setCardPosition(card.topLeft().toPoint());
}

QPointF AnswerPopupController::currentOrigin() const {
    if (!m_panel)
        return {};
    const QRect card = m_panel->cardGeometry();
    // The bottom-left corner, as a point between pixels.
    return Screens::shared().fromQt(QPointF(card.x(), card.y() + card.height()));
}

void AnswerPopupController::observeMove() {
    if (!m_panel)
        return;
    const QPointF origin = currentOrigin();
    if (isOwnMove(m_programmaticOrigin, origin))
        return;
    Defaults& defaults = m_services.defaults;
    defaults.write(AISettings::popupFreeXSetting, origin.x());
    defaults.write(AISettings::popupFreeYSetting, origin.y());
    defaults.write(AISettings::popupPositionSetting, stringValue(AIPopupPosition::Free));
    // Where the user left it is now where we put it.
    m_programmaticOrigin = origin;
}

void AnswerPopupController::close() {
    if (m_fade)
        m_fade->stop();
    m_hiddenForCapture = false;
    if (m_panel)
        m_panel->orderOut();
    emit closed();
}

void AnswerPopupController::copyText(const QString& text) const {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

void AnswerPopupController::openLink(const QUrl& url) const {
    if (!Browser::open(url))
        qCWarning(lcAssistant) << "no browser to open" << url.toDisplayString();
}

QString AnswerPopupController::position() const {
    return stringValue(AISettings::popupPosition(m_services.defaults));
}

void AnswerPopupController::setPosition(const QString& position) {
    const auto value = aiPopupPositionFromString(position);
    if (!value)
        return;
    if (position != m_services.defaults.read(AISettings::popupPositionSetting))
        m_services.defaults.write(AISettings::popupPositionSetting, position);
    applyPosition();
}

bool AnswerPopupController::isVisible() const {
    return (m_panel && m_panel->isVisible()) || m_hiddenForCapture;
}

bool AnswerPopupController::isFading() const {
    return m_fade && m_fade->state() == QAbstractAnimation::Running;
}

void AnswerPopupController::applyCaptureRule() {
    if (!m_panel)
        return;
    // Other recorders cannot be kept out on X11; our own captures go without the popup.
    const bool capturing = CaptureVisibility::shared().isAICaptureInProgress();
    if (capturing && m_panel->isVisible()) {
        m_hiddenForCapture = true;
        if (m_fade)
            m_fade->stop();
        m_panel->setAlpha(1);
        m_panel->orderOut();
    } else if (!capturing && m_hiddenForCapture) {
        m_hiddenForCapture = false;
        m_panel->setAlpha(1);
        m_panel->orderFront();
    }
}

} // namespace notchora
