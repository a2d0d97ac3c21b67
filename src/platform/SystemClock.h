#pragma once

#include "platform/Clock.h"

#include <QElapsedTimer>

namespace notchora {

class SystemClock final : public Clock {
public:
    SystemClock();
    QDateTime now() const override;
    double monotonic() const override;
    ClockTimer* schedule(double seconds, QObject* owner, std::function<void()> action) override;

private:
    QElapsedTimer m_elapsed;
};

} // namespace notchora
