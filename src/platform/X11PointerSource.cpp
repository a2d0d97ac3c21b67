#include "platform/X11PointerSource.h"

#include "platform/Clock.h"
#include "platform/Screens.h"

#include <QCoreApplication>
#include <QCursor>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <xcb/xcb.h>

namespace notchora {

X11PointerSource::X11PointerSource(Display* display, Clock& clock, QObject* parent)
    : PointerSource(parent), m_display(display), m_clock(clock) {
    int event = 0;
    int error = 0;
    int opcode = 0;
    if (m_display && XQueryExtension(m_display, "XInputExtension", &opcode, &event, &error)) {
        // Qt announces 2.2 on this connection already; asking for the same keeps the server
        // from refusing a second, different announcement.
        int major = 2;
        int minor = 2;
        if (XIQueryVersion(m_display, &major, &minor) == Success && major >= 2)
            m_xiOpcode = opcode;
    }
}

X11PointerSource::~X11PointerSource() {
    if (m_watching)
        stopWatching();
}

QPointF X11PointerSource::position() const {
    return Screens::shared().fromQt(QPointF(QCursor::pos()));
}

void X11PointerSource::selectRawMotion(bool on) {
    if (m_xiOpcode < 0)
        return;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on)
        XISetMask(bits, XI_RawMotion);
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = on ? int(sizeof(bits)) : 0;
    mask.mask = bits;
    XISelectEvents(m_display, DefaultRootWindow(m_display), &mask, 1);
    XFlush(m_display);
}

void X11PointerSource::startWatching() {
    if (m_watching)
        return;
    m_watching = true;
    m_hasLast = false;
    QCoreApplication::instance()->installNativeEventFilter(this);
    selectRawMotion(true);
    updatePolling();
}

void X11PointerSource::stopWatching() {
    if (!m_watching)
        return;
    m_watching = false;
    selectRawMotion(false);
    if (auto* app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
    updatePolling();
}

bool X11PointerSource::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (m_xiOpcode < 0 || eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_GE_GENERIC)
        return false;
    auto* generic = reinterpret_cast<xcb_ge_generic_event_t*>(event);
    if (generic->extension != m_xiOpcode || generic->event_type != XI_RawMotion)
        return false;
    queueReport();
    return true;
}

void X11PointerSource::queueReport() {
    // A fast mouse sends hundreds of raw events a second; read the position once per burst.
    if (m_reportQueued)
        return;
    m_reportQueued = true;
    QMetaObject::invokeMethod(this, &X11PointerSource::report, Qt::QueuedConnection);
}

void X11PointerSource::report() {
    m_reportQueued = false;
    if (!m_watching)
        return;
    const QPointF now = position();
    if (m_hasLast && now == m_last)
        return;
    m_hasLast = true;
    m_last = now;
    emit moved(now);
}

void X11PointerSource::updatePolling() {
    const bool wanted = m_watching && (pollingWanted() || m_xiOpcode < 0);
    if (!wanted) {
        if (m_poll) {
            m_poll->cancel();
            m_poll->deleteLater();
        }
        m_poll = nullptr;
        return;
    }
    if (m_poll && m_poll->isActive())
        return;
    m_poll = m_clock.schedule(pollInterval, this, [this] {
        if (m_poll)
            m_poll->deleteLater();
        m_poll = nullptr;
        report();
        updatePolling();
    });
}

} // namespace notchora
