#include "notch/HoverMonitor.h"

#include "platform/Clock.h"
#include "platform/PointerSource.h"

namespace notchora {

HoverMonitor::HoverMonitor(Clock& clock, PointerSource& pointer, Callbacks callbacks,
                           double openDelay, double collapseDelay, QObject* parent)
    : QObject(parent), m_clock(clock), m_pointer(pointer), m_callbacks(std::move(callbacks)),
      m_openDelay(openDelay), m_collapseDelay(collapseDelay) {}

HoverMonitor::~HoverMonitor() {
    if (m_running) {
        disconnect(m_connection);
        m_pointer.setPollingWanted(false);
        m_pointer.release();
    }
}

void HoverMonitor::start() {
    if (m_running)
        return;
    m_running = true;
    m_connection = connect(&m_pointer, &PointerSource::moved, this, &HoverMonitor::evaluate);
    m_pointer.acquire();
}

void HoverMonitor::stop() {
    if (m_running) {
        m_running = false;
        disconnect(m_connection);
        m_pointer.release();
    }
    cancel(m_openTask);
    cancel(m_collapseTask);
    updatePolling();
    if (m_isInside) {
        m_isInside = false;
        if (m_callbacks.onChange)
            m_callbacks.onChange(false);
    }
}

void HoverMonitor::cancel(QPointer<ClockTimer>& task) {
    if (task) {
        task->cancel();
        task->deleteLater();
    }
    task = nullptr;
}

bool HoverMonitor::pointerInZone() const {
    const QRectF zone = m_callbacks.hotZone ? m_callbacks.hotZone() : QRectF();
    return !zone.isEmpty() && zone.contains(m_pointer.position());
}

void HoverMonitor::evaluate() {
    if (m_callbacks.onMove)
        m_callbacks.onMove(m_pointer.position());
    if (pointerInZone()) {
        cancel(m_collapseTask);
        if (!m_isInside && !m_openTask) {
            m_openTask = m_clock.schedule(m_openDelay, this, [this] {
                cancel(m_openTask);
                // Open only if the pointer rested: it must still be in the zone.
                if (pointerInZone()) {
                    m_isInside = true;
                    if (m_callbacks.onChange)
                        m_callbacks.onChange(true);
                }
                updatePolling();
            });
        }
    } else {
        cancel(m_openTask);
        if (m_isInside && !m_collapseTask) {
            m_collapseTask = m_clock.schedule(m_collapseDelay, this, [this] {
                cancel(m_collapseTask);
                m_isInside = false;
                if (m_callbacks.onChange)
                    m_callbacks.onChange(false);
                updatePolling();
            });
        }
    }
    updatePolling();
}

void HoverMonitor::updatePolling() {
    // Only an open (or opening) panel must notice a pointer that jumps away.
    m_pointer.setPollingWanted(m_running && (m_isInside || m_openTask || m_collapseTask));
}

} // namespace notchora
