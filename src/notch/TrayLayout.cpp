#include "notch/TrayLayout.h"

#include <algorithm>

namespace notchora {

namespace {

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

} // namespace

double TrayLayout::expandedWidth() const {
    return std::max(contentWidth, collapsedWidth());
}

double TrayLayout::trayWidth() const {
    return lerp(collapsedWidth(), expandedWidth(), m_in.openness);
}

double TrayLayout::trayHeight() const {
    return lerp(collapsedHeight(), expandedHeight(), m_in.openness);
}

double TrayLayout::cornerRadius() const {
    return lerp(collapsedRadius, expandedRadius, m_in.openness);
}

double TrayLayout::viewScale() const {
    return lerp(1, m_in.widgetScale, m_in.openness) * m_in.bump;
}

QRectF TrayLayout::scaled(const QRectF& rect) const {
    const double s = viewScale();
    const double centre = m_in.windowWidth / 2;
    return QRectF(centre + (rect.x() - centre) * s, rect.y() * s, rect.width() * s,
                  rect.height() * s);
}

QRectF TrayLayout::trayRect() const {
    const double w = trayWidth();
    return scaled(QRectF((m_in.windowWidth - w) / 2, 0, w, trayHeight()));
}

QRectF TrayLayout::slotItemRect() const {
    const double right = m_in.windowWidth / 2 + m_in.notch.width() / 2 - slotInset;
    return QRectF(right - slotWidth, 0, slotWidth, collapsedHeight() + slotOverhang);
}

QRectF TrayLayout::slotRect() const {
    return m_in.hasSlot ? scaled(slotItemRect()) : QRectF();
}

} // namespace notchora
