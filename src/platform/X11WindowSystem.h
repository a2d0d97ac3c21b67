#pragma once

#include "platform/WindowSystem.h"

#include <QAbstractNativeEventFilter>

typedef struct _XDisplay Display;

namespace notchora {

// Window services over EWMH and the XFixes/Shape extensions: dock-type panels kept above,
// sticky or on the current desktop, click-through by an empty input shape, desktop switches
// from _NET_CURRENT_DESKTOP, and the compositor from the _NET_WM_CM_S<n> selection.
class X11WindowSystem final : public WindowSystem, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11WindowSystem(Display* display, QObject* parent = nullptr);
    ~X11WindowSystem() override;

    void preparePanel(QWindow* window) override;
    void setOnAllDesktops(QWindow* window, bool all) override;
    void orderFront(QWindow* window) override;
    void setInputRegion(QWindow* window, const std::optional<QRegion>& region) override;
    void focusWithoutRaising(QWindow* window) override;
    bool hasCompositor() const override { return m_hasCompositor; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    unsigned long atom(const char* name) const;
    unsigned long currentDesktop() const;
    void sendClientMessage(unsigned long window, unsigned long type, long d0, long d1 = 0,
                           long d2 = 0);
    bool queryCompositor() const;

    Display* m_display;
    unsigned long m_root = 0;
    unsigned long m_compositorSelection = 0;
    unsigned long m_currentDesktopAtom = 0;
    int m_fixesEventBase = -1;
    bool m_hasCompositor = false;
};

} // namespace notchora
