#include "platform/X11WindowSystem.h"

#include <QCoreApplication>
#include <QWindow>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <vector>
#include <xcb/xcb.h>

namespace notchora {

namespace {

constexpr long netWmStateRemove = 0;
constexpr long netWmStateAdd = 1;
constexpr unsigned long allDesktops = 0xFFFFFFFF;

} // namespace

X11WindowSystem::X11WindowSystem(Display* display, QObject* parent)
    : WindowSystem(parent), m_display(display) {
    m_root = DefaultRootWindow(m_display);
    m_currentDesktopAtom = atom("_NET_CURRENT_DESKTOP");
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
    window->create();
    const Window id = window->winId();
    // A dock sits in the panel layer, takes no focus on its own and is left out of
    // taskbars and window cycling by every EWMH window manager.
    const Atom type = atom("_NET_WM_WINDOW_TYPE_DOCK");
    XChangeProperty(m_display, id, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);
    const Atom states[] = {atom("_NET_WM_STATE_ABOVE"), atom("_NET_WM_STATE_SKIP_TASKBAR"),
                           atom("_NET_WM_STATE_SKIP_PAGER"), atom("_NET_WM_STATE_STICKY")};
    XChangeProperty(m_display, id, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states), 4);
    const unsigned long desktop = allDesktops;
    XChangeProperty(m_display, id, atom("_NET_WM_DESKTOP"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&desktop), 1);
    XFlush(m_display);
}

void X11WindowSystem::setOnAllDesktops(QWindow* window, bool all) {
    if (!window->handle())
        return;
    const Window id = window->winId();
    const unsigned long desktop = all ? allDesktops : currentDesktop();
    if (window->isVisible()) {
        // A mapped window belongs to the window manager: ask it.
        sendClientMessage(id, atom("_NET_WM_STATE"), all ? netWmStateAdd : netWmStateRemove,
                          long(atom("_NET_WM_STATE_STICKY")));
        sendClientMessage(id, atom("_NET_WM_DESKTOP"), long(desktop));
    } else {
        XChangeProperty(m_display, id, atom("_NET_WM_DESKTOP"), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&desktop), 1);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        std::vector<Atom> states;
        const Atom sticky = atom("_NET_WM_STATE_STICKY");
        if (XGetWindowProperty(m_display, id, atom("_NET_WM_STATE"), 0, 32, False, XA_ATOM, &type,
                               &format, &count, &after, &data) == Success &&
            data) {
            for (unsigned long i = 0; i < count; ++i)
                if (reinterpret_cast<Atom*>(data)[i] != sticky)
                    states.push_back(reinterpret_cast<Atom*>(data)[i]);
            XFree(data);
        }
        if (all)
            states.push_back(sticky);
        XChangeProperty(m_display, id, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states.data()), int(states.size()));
    }
    XFlush(m_display);
}

void X11WindowSystem::orderFront(QWindow* window) {
    window->setVisible(true);
    const Window id = window->winId();
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    unsigned long desktop = allDesktops;
    if (XGetWindowProperty(m_display, id, atom("_NET_WM_DESKTOP"), 0, 1, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
        if (format == 32 && count == 1)
            desktop = reinterpret_cast<unsigned long*>(data)[0];
        XFree(data);
    }
    // A panel bound to one desktop is brought to the one the user is on now.
    if (desktop != allDesktops && desktop != currentDesktop())
        sendClientMessage(id, atom("_NET_WM_DESKTOP"), long(currentDesktop()));
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

bool X11WindowSystem::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const int kind = event->response_type & 0x7f;
    if (kind == XCB_PROPERTY_NOTIFY) {
        auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
        if (property->window == m_root && property->atom == m_currentDesktopAtom)
            emit currentDesktopChanged();
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
