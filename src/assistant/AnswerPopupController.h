#pragma once

#include "answer/AIModels.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QUrl>
#include <QtQml/qqmlregistration.h>
#include <memory>
#include <optional>

class QJSEngine;
class QPropertyAnimation;
class QQmlEngine;

namespace notchora {

class AnswerPanel;
class Defaults;
class WindowSystem;

// Owns the answer popup: makes the panel on first use, puts it top right, top left or
// where the user last dragged it, fades it in, keeps a drag as the new free position and
// steps the panel aside while one of our own captures runs.
class AnswerPopupController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // "right", "left" or "free" ("ai.popupPosition"); setting it moves the popup at once.
    Q_PROPERTY(QString position READ position WRITE setPosition NOTIFY positionChanged FINAL)
    Q_PROPERTY(bool isVisible READ isVisible NOTIFY visibleChanged FINAL)
public:
    static constexpr double margin = 16;
    static constexpr double fadeDuration = 0.2;
    // A move closer than this to where we put the panel is our own (rounding), not a drag.
    static constexpr double ownMoveTolerance = 1;
    // How much of the card's top must be on some screen for a free origin to be used.
    static constexpr double reachableSide = 24;

    struct Services {
        WindowSystem& windows;
        Defaults& defaults;
        // The engine the popup's view runs in; without one the controller makes its own.
        QQmlEngine* engine = nullptr;
        // The view: the bare card, or the card driven by the assistant (the program's).
        QUrl view = QUrl(QStringLiteral("qrc:/qt/qml/Notchora/Assistant/AnswerPopupView.qml"));
    };

    explicit AnswerPopupController(Services services, QObject* parent = nullptr);
    ~AnswerPopupController() override;

    static AnswerPopupController& shared();
    static AnswerPopupController* create(QQmlEngine*, QJSEngine*);

    // Where the card's origin (bottom-left, in global coordinates) goes: top right or top
    // left of `area`, or the free origin when there is one that leaves the card's top on
    // one of `screens` (else top right, this time only).
    static QPointF placement(AIPopupPosition position, const std::optional<QPointF>& freeOrigin,
                             const QRectF& area, const QList<QRectF>& screens);
    // Whether a panel found at `origin` was moved by us rather than by the user.
    static bool isOwnMove(const std::optional<QPointF>& programmaticOrigin, const QPointF& origin);

    // Makes the panel when needed, places it and fades it in. Safe on a visible popup.
    Q_INVOKABLE void show();
    // Places the panel by the position setting (nothing without a panel).
    Q_INVOKABLE void applyPosition();
    // The close button: hides the popup and announces it, so the running question stops.
    Q_INVOKABLE void close();
    // Puts text on the clipboard (the copy button; empty when there is no answer).
    Q_INVOKABLE void copyText(const QString& text) const;
    // Opens a link of an answer in the user's browser.
    Q_INVOKABLE void openLink(const QUrl& url) const;

    QString position() const;
    void setPosition(const QString& position);
    bool isVisible() const;

    // The panel, once shown.
    AnswerPanel* panel() const { return m_panel.get(); }
    std::optional<QPointF> programmaticOrigin() const { return m_programmaticOrigin; }
    // The card's origin in global coordinates.
    QPointF currentOrigin() const;
    bool isFading() const;

signals:
    void positionChanged();
    void visibleChanged();
    // The user closed the popup (the service cancels the question on it).
    void closed();

private:
    void makePanel();
    void observeMove();
    void applyCaptureRule();
    QQmlEngine& engine();

    Services m_services;
    std::unique_ptr<QQmlEngine> m_ownEngine;
    std::unique_ptr<AnswerPanel> m_panel;
    QPointer<QPropertyAnimation> m_fade;
    std::optional<QPointF> m_programmaticOrigin;
    bool m_hiddenForCapture = false;
};

} // namespace notchora
