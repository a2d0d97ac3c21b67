#include "platform/X11GlobalShortcuts.h"

#include "platform/Logging.h"

#include <QCoreApplication>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace notchora {

namespace {

// Lock keys that must not change whether a shortcut matches: Caps Lock and Num Lock (Mod2
// on every common layout).
constexpr quint16 lockMasks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                 XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr quint16 ignoredMasks = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;

quint16 x11Modifiers(Qt::KeyboardModifiers modifiers) {
    quint16 mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier) // the Super key
        mask |= XCB_MOD_MASK_4;
    return mask;
}

// Digits and letters: their Qt key codes are the Latin-1 key symbols.
KeySym keysym(Qt::Key key) {
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return KeySym(key);
    return NoSymbol;
}

} // namespace

X11GlobalShortcuts::X11GlobalShortcuts(Display* display, xcb_connection_t* connection,
                                       QObject* parent)
    : GlobalShortcuts(parent), m_display(display), m_connection(connection),
      m_root(quint32(DefaultRootWindow(display))) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11GlobalShortcuts::~X11GlobalShortcuts() {
    if (auto* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
    for (const Grab& grab : std::as_const(m_grabs))
        ungrab(grab);
    xcb_flush(m_connection);
}

bool X11GlobalShortcuts::grab(QKeyCombination key) {
    for (const Grab& held : std::as_const(m_grabs))
        if (held.key == key)
            return true;
    const KeySym symbol = keysym(key.key());
    const KeyCode keycode = symbol == NoSymbol ? 0 : XKeysymToKeycode(m_display, symbol);
    if (keycode == 0) {
        qCWarning(lcPlatform) << "no key on this keyboard for" << key;
        return false;
    }
    const Grab grab{key, quint8(keycode), x11Modifiers(key.keyboardModifiers())};
    for (quint16 lock : lockMasks) {
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(m_connection, 1, m_root, grab.modifiers | lock, grab.keycode,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        // Checked at once: a key someone else holds answers BadAccess.
        if (xcb_generic_error_t* error = xcb_request_check(m_connection, cookie)) {
            qCWarning(lcPlatform) << "the desktop holds" << key << "already (X error"
                                  << error->error_code << ")";
            free(error);
            ungrab(grab);
            xcb_flush(m_connection);
            return false;
        }
    }
    m_grabs << grab;
    return true;
}

void X11GlobalShortcuts::release(QKeyCombination key) {
    for (qsizetype i = 0; i < m_grabs.size(); ++i) {
        if (m_grabs[i].key != key)
            continue;
        ungrab(m_grabs.takeAt(i));
        xcb_flush(m_connection);
        return;
    }
}

void X11GlobalShortcuts::ungrab(const Grab& grab) {
    for (quint16 lock : lockMasks)
        xcb_ungrab_key(m_connection, grab.keycode, m_root, grab.modifiers | lock);
}

bool X11GlobalShortcuts::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (m_grabs.isEmpty() || eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (press->root != m_root)
        return false;
    for (const Grab& grab : std::as_const(m_grabs)) {
        if (press->detail == grab.keycode && (press->state & ~ignoredMasks) == grab.modifiers) {
            emit activated(grab.key);
            return true;
        }
    }
    return false;
}

} // namespace notchora
