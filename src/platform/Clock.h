#pragma once

#include <QDateTime>
#include <QObject>
#include <functional>

namespace notchora {

// A pending one-shot timer. It is a child of the object that asked for it, so destroying
// the owner cancels it; `cancel()` does the same explicitly.
class ClockTimer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void cancel() = 0;
    virtual bool isActive() const = 0;
};

// Wall time, monotonic time and one-shot timers. Everything that waits or asks for "now"
// goes through a Clock so tests can drive time by hand.
class Clock {
public:
    virtual ~Clock() = default;

    virtual QDateTime now() const = 0;
    // Seconds on a clock that never jumps backwards.
    virtual double monotonic() const = 0;
    // Runs `action` once after `seconds` unless cancelled. The timer is a child of `owner`.
    virtual ClockTimer* schedule(double seconds, QObject* owner, std::function<void()> action) = 0;

    // The real clock, backed by QTimer.
    static Clock& system();
};

} // namespace notchora
