#include "ManualClock.h"

#include <algorithm>

namespace notchora {

class ManualClockTimer final : public ClockTimer {
public:
    ManualClockTimer(QObject* owner, std::function<void()> action)
        : ClockTimer(owner), m_action(std::move(action)) {}

    void cancel() override { m_action = nullptr; }
    bool isActive() const override { return static_cast<bool>(m_action); }

    void fire() {
        auto action = std::move(m_action);
        m_action = nullptr;
        if (action)
            action();
    }

private:
    std::function<void()> m_action;
};

ManualClock::ManualClock(QDateTime start) : m_start(std::move(start)) {}

ManualClock::~ManualClock() = default;

QDateTime ManualClock::now() const {
    return m_start.addMSecs(qint64(m_monotonic * 1000.0));
}

ClockTimer* ManualClock::schedule(double seconds, QObject* owner, std::function<void()> action) {
    auto* timer = new ManualClockTimer(owner, std::move(action));
    m_entries.push_back({m_monotonic + std::max(0.0, seconds), m_sequence++, timer});
    return timer;
}

void ManualClock::advance(double seconds) {
    const double target = m_monotonic + std::max(0.0, seconds);
    for (;;) {
        std::erase_if(m_entries, [](const Entry& e) { return !e.timer || !e.timer->isActive(); });
        auto next = std::min_element(
            m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
                return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
            });
        if (next == m_entries.end() || next->due > target)
            break;
        QPointer<ManualClockTimer> timer = next->timer;
        m_monotonic = std::max(m_monotonic, next->due);
        m_entries.erase(next);
        if (timer)
            timer->fire();
    }
    m_monotonic = target;
}

int ManualClock::pendingCount() const {
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [](const Entry& e) { return e.timer && e.timer->isActive(); }));
}

double ManualClock::nextDueIn() const {
    double best = -1;
    for (const auto& e : m_entries)
        if (e.timer && e.timer->isActive() && (best < 0 || e.due - m_monotonic < best))
            best = e.due - m_monotonic;
    return best;
}

} // namespace notchora
