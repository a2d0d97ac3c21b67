#include "screenshot/CaptureBracket.h"

#include "core/CaptureVisibility.h"
#include "platform/Clock.h"

namespace notchora {

CaptureBracket::CaptureBracket(Clock& clock, QObject* parent) : QObject(parent), m_clock(clock) {}

CaptureBracket::~CaptureBracket() {
    end();
}

void CaptureBracket::begin(std::function<void()> afterPause) {
    if (m_pause)
        m_pause->cancel();
    m_open = true;
    CaptureVisibility::shared().setAICaptureInProgress(true);
    m_pause = m_clock.schedule(pauseSeconds, this, std::move(afterPause));
}

void CaptureBracket::end() {
    if (m_pause) {
        m_pause->cancel();
        m_pause = nullptr;
    }
    if (!m_open)
        return;
    m_open = false;
    CaptureVisibility::shared().setAICaptureInProgress(false);
}

} // namespace notchora
