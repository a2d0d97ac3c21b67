#pragma once

#include "platform/WindowSystem.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QWindow>
#include <vector>

typedef struct _XDisplay Display;
struct xcb_connection_t;

namespace notchora {

// Window services over EWMH and the XFixes/Shape extensions: dock-type panels that stack
// themselves above everything (also full-screen windows), sticky or on the current desktop,
// click-through by an empty input shape, desktop switches from _NET_CURRENT_DESKTOP, and the
// compositor from the _NET_WM_CM_S<n> selection.
class X11WindowSystem final : public WindowSystem, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    X11WindowSystem(Display* display, xcb_connection_t* connection, QObject* parent = nullptr);
    ~X11WindowSystem() override;

    void preparePanel(QWindow* window) override;
    void setOnAllDesktops(QWindow* window, bool all) override;
    void orderFront(QWindow* window) override;
    void setInputRegion(QWindow* window, const std::optional<QRegion>& region) override;
    void focusWithoutRaising(QWindow* window) override;
    WId focusedWindow() const override;
    void restoreFocus(WId window) override;
    bool hasCompositor() const override { return m_hasCompositor; }
    void beep() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    unsigned long atom(const char* name) const;
    unsigned long currentDesktop() const;
    void sendClientMessage(unsigned long window, unsigned long type, long d0, long d1 = 0,
                           long d2 = 0);
    bool queryCompositor() const;
    unsigned long wantedDesktop(unsigned long window) const;
    std::vector<unsigned long> panelStates(unsigned long window) const;
    void writeUnmappedHints(unsigned long window);
    void requestMappedHints(unsigned long window);
    void raisePanels();

    Display* m_display;
    xcb_connection_t* m_connection;
    unsigned long m_root = 0;
    unsigned long m_compositorSelection = 0;
    unsigned long m_currentDesktopAtom = 0;
    int m_fixesEventBase = -1;
    bool m_hasCompositor = false;
    unsigned long m_desktop = 0;
    // Per panel: on every desktop (true) or on the current one.
    QHash<unsigned long, bool> m_onAllDesktops;
    QList<QPointer<QWindow>> m_panels;
    std::vector<unsigned long> m_stackingAtoms;
};

} // namespace notchora
