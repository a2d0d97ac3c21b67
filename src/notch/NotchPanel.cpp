#include "notch/NotchPanel.h"

#include "platform/WindowSystem.h"

#include <QQuickItem>

namespace notchora {

NotchPanel::NotchPanel(QQmlEngine* engine, WindowSystem& windows)
    : QQuickView(engine, nullptr), m_windows(windows) {
    setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
             Qt::NoDropShadowWindowHint);
    QSurfaceFormat surface = format();
    surface.setAlphaBufferSize(8);
    setFormat(surface);
    setColor(Qt::transparent);
    setResizeMode(QQuickView::SizeRootObjectToView);
    setTitle(QStringLiteral("Notchora"));
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

void NotchPanel::mousePressEvent(QMouseEvent* event) {
    if (m_allowsKeyFocus && !isActive())
        m_windows.focusWithoutRaising(this);
    QQuickView::mousePressEvent(event);
}

} // namespace notchora
