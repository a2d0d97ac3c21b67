#include "platform/HeadlessWindowSystem.h"

#include <QWindow>

namespace notchora {

void HeadlessWindowSystem::preparePanel(QWindow* window) {
    window->setFlag(Qt::WindowStaysOnTopHint, true);
}

void HeadlessWindowSystem::setOnAllDesktops(QWindow* window, bool all) {
    m_allDesktops.insert(window, all);
}

void HeadlessWindowSystem::orderFront(QWindow* window) {
    window->setVisible(true);
    window->raise();
}

void HeadlessWindowSystem::setInputRegion(QWindow* window, const std::optional<QRegion>& region) {
    m_inputRegions.insert(window, region);
    const bool transparent = region && region->isEmpty();
    if (window->flags().testFlag(Qt::WindowTransparentForInput) != transparent)
        window->setFlag(Qt::WindowTransparentForInput, transparent);
}

void HeadlessWindowSystem::focusWithoutRaising(QWindow* window) {
    m_focused = window->winId();
    window->requestActivate();
}

void HeadlessWindowSystem::switchDesktop(int desktop) {
    if (desktop == m_desktop)
        return;
    m_desktop = desktop;
    emit currentDesktopChanged();
}

} // namespace notchora
