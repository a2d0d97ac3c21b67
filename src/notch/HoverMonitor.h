#pragma once

#include "platform/Clock.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <functional>

namespace notchora {

class PointerSource;

// Reports the pointer entering and leaving a hot zone, with a short delay before "entered"
// and a longer one before "left", so a pointer skimming past neither opens nor flickers the
// panel. The zone is asked for afresh at every check.
class HoverMonitor : public QObject {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<QRectF()> hotZone;
        std::function<void(bool)> onChange;
        std::function<void(QPointF)> onMove;
    };

    HoverMonitor(Clock& clock, PointerSource& pointer, Callbacks callbacks, double openDelay,
                 double collapseDelay, QObject* parent = nullptr);
    // Stops listening and drops pending timers without reporting anything.
    ~HoverMonitor() override;

    // Starts listening; a second call does nothing.
    void start();
    // Stops listening, drops pending timers and reports leaving if the pointer was inside.
    void stop();

    bool isRunning() const { return m_running; }
    bool isInside() const { return m_isInside; }
    bool isOpening() const { return m_openTask != nullptr; }
    bool isClosing() const { return m_collapseTask != nullptr; }

    // The check run on every pointer movement.
    void evaluate();

private:
    bool pointerInZone() const;
    void cancel(QPointer<ClockTimer>& task);
    void updatePolling();

    Clock& m_clock;
    PointerSource& m_pointer;
    Callbacks m_callbacks;
    double m_openDelay;
    double m_collapseDelay;
    bool m_running = false;
    bool m_isInside = false;
    QPointer<ClockTimer> m_openTask;
    QPointer<ClockTimer> m_collapseTask;
    QMetaObject::Connection m_connection;
};

} // namespace notchora
