#include "platform/SystemClock.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

namespace notchora {

namespace {

class QtClockTimer final : public ClockTimer {
public:
    QtClockTimer(double seconds, QObject* owner, std::function<void()> action)
        : ClockTimer(owner), m_action(std::move(action)) {
        m_timer.setSingleShot(true);
        // Short delays (hover, animations) want precision; long ones may be coalesced.
        m_timer.setTimerType(seconds < 2.0 ? Qt::PreciseTimer : Qt::CoarseTimer);
        const double ms = std::clamp(std::ceil(seconds * 1000.0), 0.0, 2'000'000'000.0);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto action = std::move(m_action);
            m_action = nullptr;
            if (action)
                action();
        });
        m_timer.start(static_cast<int>(ms));
    }

    void cancel() override {
        m_timer.stop();
        m_action = nullptr;
    }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
    std::function<void()> m_action;
};

} // namespace

SystemClock::SystemClock() {
    m_elapsed.start();
}

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTimeUtc();
}

double SystemClock::monotonic() const {
    return static_cast<double>(m_elapsed.nsecsElapsed()) / 1e9;
}

ClockTimer* SystemClock::schedule(double seconds, QObject* owner, std::function<void()> action) {
    return new QtClockTimer(seconds, owner, std::move(action));
}

Clock& Clock::system() {
    static SystemClock clock;
    return clock;
}

} // namespace notchora
