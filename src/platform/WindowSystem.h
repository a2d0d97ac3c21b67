#pragma once

#include <QObject>
#include <QRegion>
#include <QWindow>
#include <optional>

namespace notchora {

// What the program needs from the window manager for its floating panels.
class WindowSystem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Marks a created (not yet shown) window as a panel: kept above normal windows, docks
    // and full-screen windows, left out of taskbars, pagers and window cycling.
    virtual void preparePanel(QWindow* window) = 0;
    // On every desktop, or on the current one only.
    virtual void setOnAllDesktops(QWindow* window, bool all) = 0;
    // Shows the window on the current desktop above the others, without activating it.
    virtual void orderFront(QWindow* window) = 0;
    // The part of the window that takes the pointer: absent means all of it, an empty
    // region none (clicks pass through to whatever is below).
    virtual void setInputRegion(QWindow* window, const std::optional<QRegion>& region) = 0;
    // Gives the window the keyboard without raising it or activating the program.
    virtual void focusWithoutRaising(QWindow* window) = 0;
    // The window that has the keyboard now, in the native system (0 when none), so that it
    // can have it back with restoreFocus() once we are done typing.
    virtual WId focusedWindow() const = 0;
    virtual void restoreFocus(WId window) = 0;
    // Whether a compositor blends translucent windows; without one a window's shape must
    // follow what it draws.
    virtual bool hasCompositor() const = 0;
    // The desktop's warning sound, for an action that cannot be done.
    virtual void beep() = 0;

signals:
    void currentDesktopChanged();
    void compositorChanged();
};

} // namespace notchora
