#include "assistant/AnswerPanel.h"

#include "platform/WindowSystem.h"

#include <QMouseEvent>
#include <QPainterPath>
#include <QQuickItem>

namespace notchora {

AnswerPanel::AnswerPanel(QQmlEngine* engine, WindowSystem& windows)
    : QQuickView(engine, nullptr), m_windows(windows),
      m_keyboard(*this, windows, [this] { return isVisible(); }) {
    // Not accepting focus keeps a click on the card from activating the panel; a text field
    // borrows the keyboard explicitly (KeyboardLease).
    setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
             Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus);
    QSurfaceFormat surface = format();
    surface.setAlphaBufferSize(8);
    setFormat(surface);
    setColor(Qt::transparent);
    setResizeMode(QQuickView::SizeRootObjectToView);
    setTitle(QStringLiteral("Notchora AI Assistant"));
    const QSize size = cardSize.grownBy({shadowMargin, shadowMargin, shadowMargin, shadowMargin});
    resize(size);
    setMinimumSize(size);
    setMaximumSize(size);
    connect(&m_windows, &WindowSystem::compositorChanged, this, &AnswerPanel::applyShape);
}

QRect AnswerPanel::cardGeometry() const {
    return QRect(position() + QPoint(shadowMargin, shadowMargin), cardSize);
}

void AnswerPanel::setCardPosition(const QPoint& topLeft) {
    setPosition(topLeft - QPoint(shadowMargin, shadowMargin));
}

double AnswerPanel::alpha() const {
    return contentItem()->opacity();
}

void AnswerPanel::setAlpha(double alpha) {
    if (qFuzzyCompare(contentItem()->opacity(), alpha))
        return;
    contentItem()->setOpacity(alpha);
    emit alphaChanged();
}

void AnswerPanel::orderFront() {
    m_windows.orderFront(this);
    applyShape();
}

void AnswerPanel::orderOut() {
    m_keyboard.release();
    m_dragging = false;
    setVisible(false);
}

void AnswerPanel::mousePressEvent(QMouseEvent* event) {
    QQuickView::mousePressEvent(event);
    // Whatever no control grabbed, not even to watch it, is the background: it moves the
    // window. (The window accepts every press, so only the grabs tell.)
    const QEventPoint& point = event->point(0);
    if (event->button() != Qt::LeftButton || event->exclusiveGrabber(point) ||
        !event->passiveGrabbers(point).isEmpty())
        return;
    if (!cardGeometry().contains(event->globalPosition().toPoint()))
        return;
    m_dragging = true;
    m_dragStartPointer = event->globalPosition();
    m_dragStartPosition = position();
    event->accept();
}

void AnswerPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        QQuickView::mouseMoveEvent(event);
        return;
    }
    setPosition(m_dragStartPosition + (event->globalPosition() - m_dragStartPointer).toPoint());
    event->accept();
}

void AnswerPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragging) {
        QQuickView::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    event->accept();
    emit dragFinished();
}

QRegion AnswerPanel::cardRegion() const {
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(shadowMargin, shadowMargin), QSizeF(cardSize)), cardRadius,
                        cardRadius);
    return QRegion(path.toFillPolygon().toPolygon());
}

void AnswerPanel::applyShape() {
    // The shadow is only drawn: clicks there reach whatever is below.
    m_windows.setInputRegion(this, cardRegion());
    if (m_windows.hasCompositor()) {
        if (!mask().isEmpty())
            setMask(QRegion());
        return;
    }
    // Nothing blends the shadow without a compositor: the window is the card alone.
    setMask(cardRegion());
}

} // namespace notchora
