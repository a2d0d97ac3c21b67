#pragma once

#include "platform/Clock.h"

#include <QPointer>
#include <vector>

namespace notchora {

class ManualClockTimer;

// A clock that only moves when told to. `advance` fires every due timer in order of due
// time (ties in order of scheduling), including timers scheduled by timers that fire.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::UTC));
    ~ManualClock() override;

    QDateTime now() const override;
    double monotonic() const override { return m_monotonic; }
    ClockTimer* schedule(double seconds, QObject* owner, std::function<void()> action) override;

    void advance(double seconds);
    void setNow(const QDateTime& wallTime) {
        m_start = wallTime.addMSecs(qint64(-m_monotonic * 1000));
    }
    int pendingCount() const;
    // Seconds until the next pending timer fires, or a negative number when none is pending.
    double nextDueIn() const;

private:
    friend class ManualClockTimer;
    struct Entry {
        double due;
        quint64 sequence;
        QPointer<ManualClockTimer> timer;
    };
    std::vector<Entry> m_entries;
    QDateTime m_start;
    double m_monotonic = 0;
    quint64 m_sequence = 0;
};

} // namespace notchora
