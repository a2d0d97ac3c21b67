#pragma once

#include "platform/WindowSystem.h"

#include <QHash>
#include <QPointer>

namespace notchora {

// Window services where no window manager is reachable (offscreen runs, other platforms):
// only what Qt itself offers, with the last requested state kept for inspection.
class HeadlessWindowSystem final : public WindowSystem {
    Q_OBJECT
public:
    using WindowSystem::WindowSystem;

    void preparePanel(QWindow* window) override;
    void setOnAllDesktops(QWindow* window, bool all) override;
    void orderFront(QWindow* window) override;
    void setInputRegion(QWindow* window, const std::optional<QRegion>& region) override;
    void focusWithoutRaising(QWindow* window) override;
    WId focusedWindow() const override { return m_focused; }
    void restoreFocus(WId window) override { m_focused = window; }
    // Another program's window taking the keyboard.
    void setFocusedWindow(WId window) { m_focused = window; }
    bool hasCompositor() const override { return m_compositor; }
    // Nothing to sound without a display; counted for whoever checks.
    void beep() override { ++m_beeps; }
    int beepCount() const { return m_beeps; }
    // A compositor starting or stopping, as the window manager would announce it.
    void setCompositor(bool running) {
        m_compositor = running;
        emit compositorChanged();
    }

    bool isOnAllDesktops(QWindow* window) const { return m_allDesktops.value(window, false); }
    std::optional<QRegion> inputRegion(QWindow* window) const {
        return m_inputRegions.value(window);
    }
    int currentDesktop() const { return m_desktop; }
    // A desktop switch, as a window manager would announce it.
    void switchDesktop(int desktop);

private:
    QHash<QWindow*, bool> m_allDesktops;
    QHash<QWindow*, std::optional<QRegion>> m_inputRegions;
    int m_desktop = 0;
    WId m_focused = 0;
    bool m_compositor = true;
    int m_beeps = 0;
};

} // namespace notchora
