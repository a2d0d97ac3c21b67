#include "notch/NotchPanel.h"

#include "platform/WindowSystem.h"

#include <QPainterPath>
#include <QQuickItem>
#include <algorithm>

namespace notchora {

NotchPanel::NotchPanel(QQmlEngine* engine, WindowSystem& windows)
    : QQuickView(engine, nullptr), m_windows(windows),
      m_keyboard(*this, windows, [this] { return m_allowsKeyFocus; }) {
    // Not accepting focus keeps a click on the tray from activating the panel (the window
    // manager and Qt both would otherwise).
    setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
             Qt::NoDropShadowWindowHint | Qt::WindowDoesNotAcceptFocus);
    QSurfaceFormat surface = format();
    surface.setAlphaBufferSize(8);
    setFormat(surface);
    setColor(Qt::transparent);
    setResizeMode(QQuickView::SizeRootObjectToView);
    setTitle(QStringLiteral("Notchora"));
    connect(&m_windows, &WindowSystem::compositorChanged, this, &NotchPanel::applyShape);
}

double NotchPanel::alpha() const {
    return contentItem()->opacity();
}

void NotchPanel::setAlpha(double alpha) {
    if (qFuzzyCompare(contentItem()->opacity(), alpha))
        return;
    contentItem()->setOpacity(alpha);
    emit alphaChanged();
}

void NotchPanel::setAllowsKeyFocus(bool allows) {
    m_allowsKeyFocus = allows;
    if (!allows)
        m_keyboard.release();
}

void NotchPanel::setShape(const Shape& shape) {
    if (shape == m_shape)
        return;
    m_shape = shape;
    applyShape();
}

void NotchPanel::applyShape() {
    // The pointer goes through everywhere but the open tray, as it does through the
    // transparent parts of any window.
    m_windows.setInputRegion(this, m_shape.takesPointer ? QRegion(m_shape.tray.toAlignedRect())
                                                        : QRegion());
    if (m_windows.hasCompositor()) {
        if (!mask().isEmpty())
            setMask(QRegion());
        return;
    }
    QRegion region = trayRegion(m_shape.tray, m_shape.trayRadius);
    if (!m_shape.slot.isEmpty())
        region += QRegion(m_shape.slot.toAlignedRect());
    region += popupRegion();
    // An empty mask would mean "no shape" (the whole black window): keep one pixel instead.
    if (region.isEmpty())
        region = QRegion(0, 0, 1, 1);
    setMask(region);
}

void NotchPanel::watchPopups() {
    // Open popups live in the window's overlay item, one child each.
    for (QQuickItem* child : contentItem()->childItems()) {
        if (child->inherits("QQuickOverlay") && child != m_overlay) {
            m_overlay = child;
            connect(child, &QQuickItem::childrenChanged, this, &NotchPanel::followPopupItems);
            followPopupItems();
        }
    }
}

void NotchPanel::followPopupItems() {
    if (!m_overlay)
        return;
    for (QQuickItem* popup : m_overlay->childItems()) {
        for (auto signal : {&QQuickItem::xChanged, &QQuickItem::yChanged, &QQuickItem::widthChanged,
                            &QQuickItem::heightChanged, &QQuickItem::visibleChanged})
            connect(popup, signal, this, &NotchPanel::applyShape, Qt::UniqueConnection);
    }
    applyShape();
}

QRegion NotchPanel::popupRegion() const {
    QRegion region;
    if (!m_overlay)
        return region;
    for (const QQuickItem* popup : m_overlay->childItems())
        if (popup->isVisible())
            region += popup->mapRectToScene(popup->boundingRect()).toAlignedRect();
    return region;
}

QRegion NotchPanel::trayRegion(const QRectF& rect, double radius) {
    if (rect.isEmpty())
        return {};
    QPainterPath path;
    const double r = std::min({radius, rect.width() / 2, rect.height()});
    path.moveTo(rect.topLeft());
    path.lineTo(rect.topRight());
    path.lineTo(rect.right(), rect.bottom() - r);
    path.quadTo(rect.bottomRight(), QPointF(rect.right() - r, rect.bottom()));
    path.lineTo(rect.left() + r, rect.bottom());
    path.quadTo(rect.bottomLeft(), QPointF(rect.left(), rect.bottom() - r));
    path.closeSubpath();
    return QRegion(path.toFillPolygon().toPolygon());
}

} // namespace notchora
