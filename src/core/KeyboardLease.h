#pragma once

#include <QObject>
#include <QWindow>
#include <functional>

namespace notchora {

class WindowSystem;

// The keyboard on loan to a panel that never takes it on a click: while `mayTake` allows,
// a text field (anything taking text input) taking focus in the window takes the keyboard (without
// raising or activating the program), and it goes back to the window that had it once the field
// lets go or release() is called. The panel is created not accepting focus.
class KeyboardLease : public QObject {
    Q_OBJECT
public:
    KeyboardLease(QWindow& window, WindowSystem& windows, std::function<bool()> mayTake);

    bool isHeld() const { return m_held; }
    // Hands the keyboard back (if held) and lets the field go, so that showing the panel
    // again does not take the keyboard.
    void release();

private:
    void followFocusItem();
    void take();

    QWindow& m_window;
    WindowSystem& m_windows;
    std::function<bool()> m_mayTake;
    bool m_held = false;
    WId m_previousFocus = 0;
};

} // namespace notchora
