#include "platform/X11WindowSystem.h"

#include <QCoreApplication>
#include <QWindow>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <algorithm>
#include <vector>
#include <xcb/xcb.h>

namespace notchora {

namespace {

constexpr long netWmStateRemove = 0;
constexpr long netWmStateAdd = 1;
constexpr unsigned long allDesktops = 0xFFFFFFFF;

} // namespace

X11WindowSystem::X11WindowSystem(Display* display, xcb_connection_t* connection, QObject* parent)
    : WindowSystem(parent), m_display(display), m_connection(connection) {
    m_root = DefaultRootWindow(m_display);
    m_currentDesktopAtom = atom("_NET_CURRENT_DESKTOP");
    m_stackingAtoms = {atom("_NET_CLIENT_LIST_STACKING"), atom("_NET_ACTIVE_WINDOW")};
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(m_display));
    m_compositorSelection = atom(selection.constData());

    // Root property changes (desktop switches); keep whatever Qt selected there already.
    XWindowAttributes attributes;
    if (XGetWindowAttributes(m_display, m_root, &attributes))
        XSelectInput(m_display, m_root, attributes.your_event_mask | PropertyChangeMask);

    int error = 0;
    if (XFixesQueryExtension(m_display, &m_fixesEventBase, &error)) {
        XFixesSelectSelectionInput(m_display, m_root, m_compositorSelection,
                                   XFixesSetSelectionOwnerNotifyMask |
                                       XFixesSelectionWindowDestroyNotifyMask |
                                       XFixesSelectionClientCloseNotifyMask);
    } else {
        m_fixesEventBase = -1;
    }
    m_hasCompositor = queryCompositor();
    m_desktop = currentDesktop();
    XFlush(m_display);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11WindowSystem::~X11WindowSystem() {
    if (auto* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

unsigned long X11WindowSystem::atom(const char* name) const {
    return XInternAtom(m_display, name, False);
}

bool X11WindowSystem::queryCompositor() const {
    return XGetSelectionOwner(m_display, m_compositorSelection) != 0;
}

unsigned long X11WindowSystem::currentDesktop() const {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    unsigned long desktop = 0;
    if (XGetWindowProperty(m_display, m_root, m_currentDesktopAtom, 0, 1, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
        if (format == 32 && count == 1)
            desktop = reinterpret_cast<unsigned long*>(data)[0];
        XFree(data);
    }
    return desktop;
}

void X11WindowSystem::sendClientMessage(unsigned long window, unsigned long type, long d0, long d1,
                                        long d2) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = d0;
    event.xclient.data.l[1] = d1;
    event.xclient.data.l[2] = d2;
    event.xclient.data.l[3] = 1; // source: application
    XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void X11WindowSystem::preparePanel(QWindow* window) {
    // Window managers keep even dock and "above" windows under a focused full-screen
    // window; a panel over full-screen programs has to stack itself (raisePanels()).
    window->setFlag(Qt::BypassWindowManagerHint, true);
    window->create();
    m_panels.append(window);
    const Window id = window->winId();
    // A dock sits in the panel layer, takes no focus on its own and is left out of
    // taskbars and window cycling by every EWMH window manager.
    const Atom type = atom("_NET_WM_WINDOW_TYPE_DOCK");
    XChangeProperty(m_display, id, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);
    m_onAllDesktops.insert(id, true);
    writeUnmappedHints(id);
    XFlush(m_display);
}

void X11WindowSystem::setOnAllDesktops(QWindow* window, bool all) {
    if (!window->handle())
        return;
    const Window id = window->winId();
    m_onAllDesktops.insert(id, all);
    if (window->isVisible())
        requestMappedHints(id);
    else
        writeUnmappedHints(id);
    XFlush(m_display);
}

unsigned long X11WindowSystem::wantedDesktop(unsigned long window) const {
    return m_onAllDesktops.value(window, true) ? allDesktops : currentDesktop();
}

std::vector<unsigned long> X11WindowSystem::panelStates(unsigned long window) const {
    std::vector<Atom> states{atom("_NET_WM_STATE_ABOVE"), atom("_NET_WM_STATE_SKIP_TASKBAR"),
                             atom("_NET_WM_STATE_SKIP_PAGER")};
    if (m_onAllDesktops.value(window, true))
        states.push_back(atom("_NET_WM_STATE_STICKY"));
    return states;
}

void X11WindowSystem::writeUnmappedHints(unsigned long window) {
    // The window manager erases these when a window is withdrawn, so every map needs them
    // again. Keep whatever else is there (Qt merges its own states in the same way).
    const Atom sticky = atom("_NET_WM_STATE_STICKY");
    std::vector<Atom> states;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_display, window, atom("_NET_WM_STATE"), 0, 32, False, XA_ATOM, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
        for (unsigned long i = 0; i < count; ++i)
            if (reinterpret_cast<Atom*>(data)[i] != sticky)
                states.push_back(reinterpret_cast<Atom*>(data)[i]);
        XFree(data);
    }
    for (const Atom state : panelStates(window))
        if (std::find(states.begin(), states.end(), state) == states.end())
            states.push_back(state);
    XChangeProperty(m_display, window, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states.data()), int(states.size()));
    const unsigned long desktop = wantedDesktop(window);
    XChangeProperty(m_display, window, atom("_NET_WM_DESKTOP"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&desktop), 1);
}

void X11WindowSystem::requestMappedHints(unsigned long window) {
    // A mapped window belongs to the window manager: ask it. Asking right after a map also
    // covers a window manager that erased the hints of the previous map late.
    const Atom state = atom("_NET_WM_STATE");
    sendClientMessage(window, state, netWmStateAdd, long(atom("_NET_WM_STATE_SKIP_TASKBAR")),
                      long(atom("_NET_WM_STATE_SKIP_PAGER")));
    sendClientMessage(window, state, netWmStateAdd, long(atom("_NET_WM_STATE_ABOVE")));
    const bool all = m_onAllDesktops.value(window, true);
    sendClientMessage(window, state, all ? netWmStateAdd : netWmStateRemove,
                      long(atom("_NET_WM_STATE_STICKY")));
    sendClientMessage(window, atom("_NET_WM_DESKTOP"), long(wantedDesktop(window)));
}

void X11WindowSystem::orderFront(QWindow* window) {
    window->create();
    const Window id = window->winId();
    if (!window->isVisible())
        writeUnmappedHints(id);
    window->setVisible(true);
    // Also brings a panel bound to one desktop to the one the user is on now.
    requestMappedHints(id);
    XRaiseWindow(m_display, id);
    XFlush(m_display);
}

void X11WindowSystem::setInputRegion(QWindow* window, const std::optional<QRegion>& region) {
    if (m_fixesEventBase < 0 || !window->handle())
        return;
    XserverRegion shape = 0;
    if (region) {
        const qreal ratio = window->devicePixelRatio();
        std::vector<XRectangle> rects;
        for (const QRect& r : *region) {
            const QRect px(qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio),
                           qRound(r.height() * ratio));
            rects.push_back({short(px.x()), short(px.y()), (unsigned short)px.width(),
                             (unsigned short)px.height()});
        }
        shape = XFixesCreateRegion(m_display, rects.data(), int(rects.size()));
    }
    XFixesSetWindowShapeRegion(m_display, window->winId(), ShapeInput, 0, 0, shape);
    if (shape)
        XFixesDestroyRegion(m_display, shape);
    XFlush(m_display);
}

void X11WindowSystem::focusWithoutRaising(QWindow* window) {
    if (!window->isVisible())
        return;
    XSetInputFocus(m_display, window->winId(), RevertToParent, CurrentTime);
    XFlush(m_display);
}

void X11WindowSystem::raisePanels() {
    bool raised = false;
    for (const QPointer<QWindow>& panel : std::as_const(m_panels)) {
        if (panel && panel->isVisible()) {
            XRaiseWindow(m_display, panel->winId());
            raised = true;
        }
    }
    if (raised)
        XFlush(m_display);
}

WId X11WindowSystem::focusedWindow() const {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    // None and PointerRoot name no window to return to.
    return focus > PointerRoot ? WId(focus) : 0;
}

void X11WindowSystem::restoreFocus(WId window) {
    if (window == 0)
        return;
    // The window may have closed meanwhile; an X error would only end up in the log.
    const auto cookie = xcb_get_window_attributes(m_connection, xcb_window_t(window));
    xcb_generic_error_t* error = nullptr;
    xcb_get_window_attributes_reply_t* reply =
        xcb_get_window_attributes_reply(m_connection, cookie, &error);
    const bool viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    free(reply);
    free(error);
    if (!viewable)
        return;
    XSetInputFocus(m_display, Window(window), RevertToParent, CurrentTime);
    XFlush(m_display);
}

void X11WindowSystem::beep() {
    // The server's bell at its configured volume, as QApplication::beep() does.
    XBell(m_display, 0);
    XFlush(m_display);
}

bool X11WindowSystem::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const int kind = event->response_type & 0x7f;
    if (kind == XCB_PROPERTY_NOTIFY) {
        auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if (property->window == m_root && std::find(m_stackingAtoms.begin(), m_stackingAtoms.end(),
                                                    property->atom) != m_stackingAtoms.end()) {
            // Another window was raised, activated or mapped: back on top.
            raisePanels();
        } else if (property->window == m_root && property->atom == m_currentDesktopAtom) {
            // Pagers and window managers rewrite the property with the same value: no switch.
            const unsigned long now = currentDesktop();
            if (now != m_desktop) {
                m_desktop = now;
                emit currentDesktopChanged();
            }
        }
    } else if (m_fixesEventBase >= 0 && kind == m_fixesEventBase + XFixesSelectionNotify) {
        const bool now = queryCompositor();
        if (now != m_hasCompositor) {
            m_hasCompositor = now;
            emit compositorChanged();
        }
    }
    return false;
}

} // namespace notchora
