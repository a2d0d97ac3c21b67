#include "assistant/AnswerPanel.h"

#include "platform/WindowSystem.h"

#include <QMouseEvent>
#include <QPainterPath>
#include <QQuickItem>

namespace notchora {

namespace {

bool isTextField(const QQuickItem* item) {
    return item && item->flags().testFlag(QQuickItem::ItemAcceptsInputMethod);
}

} // namespace

AnswerPanel::AnswerPanel(QQmlEngine* engine, WindowSystem& windows)
    : QQuickView(engine, nullptr), m_windows(windows) {
    // Not accepting focus keeps a click on the card from activating the panel; a text field
    // asks for the keyboard explicitly (takeKeyFocus).
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
    connect(this, &QQuickWindow::activeFocusItemChanged, this, &AnswerPanel::followFocusItem);
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
    releaseKeyFocus();
    m_dragging = false;
    setVisible(false);
}

void AnswerPanel::followFocusItem() {
    if (isTextField(activeFocusItem())) {
        if (!m_holdsKeyFocus && isVisible())
            takeKeyFocus();
    } else if (m_holdsKeyFocus) {
        releaseKeyFocus();
    }
}

void AnswerPanel::takeKeyFocus() {
    m_previousFocus = m_windows.focusedWindow();
    m_holdsKeyFocus = true;
    setFlag(Qt::WindowDoesNotAcceptFocus, false);
    m_windows.focusWithoutRaising(this);
}

void AnswerPanel::releaseKeyFocus() {
    if (!m_holdsKeyFocus)
        return;
    m_holdsKeyFocus = false;
    setFlag(Qt::WindowDoesNotAcceptFocus, true);
    // The field lets go too, so that showing the popup again does not take the keyboard.
    if (QQuickItem* item = activeFocusItem(); isTextField(item))
        item->setFocus(false);
    // Only if we still have it: the user may have moved on to another window.
    if (m_windows.focusedWindow() == winId() && m_previousFocus != winId())
        m_windows.restoreFocus(m_previousFocus);
    m_previousFocus = 0;
}

void AnswerPanel::mousePressEvent(QMouseEvent* event) {
    QQuickView::mousePressEvent(event);
    // Whatever no control grabbed, not even to watch it, is the background: it moves the
    // window. (The window accepts every press, so only the grabs tell.)
    const QEventPoint& point = event->point(0);
    if (event->button() != Qt::LeftButton ||
        event->exclusiveGrabber(point) || !event->passiveGrabbers(point).isEmpty())
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
