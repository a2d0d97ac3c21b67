#pragma once

#include "platform/PointerSource.h"

#include <QAbstractNativeEventFilter>
#include <QPointer>

typedef struct _XDisplay Display;

namespace notchora {

class Clock;
class ClockTimer;

// The pointer on an X11 desktop: XInput2 raw motion selected on the root window reaches us
// whatever window is under the pointer; each burst of events becomes one position read.
// Raw motion misses warps, so while a user asks for it a coarse poll covers those; without
// XInput2 the poll is all there is.
class X11PointerSource final : public PointerSource, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static constexpr double pollInterval = 0.25;

    X11PointerSource(Display* display, Clock& clock, QObject* parent = nullptr);
    ~X11PointerSource() override;

    QPointF position() const override;
    bool hasRawMotion() const { return m_xiOpcode >= 0; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

protected:
    void startWatching() override;
    void stopWatching() override;
    void pollingWantedChanged() override { updatePolling(); }

private:
    void selectRawMotion(bool on);
    void queueReport();
    void report();
    void updatePolling();

    Display* m_display;
    Clock& m_clock;
    int m_xiOpcode = -1;
    bool m_watching = false;
    bool m_reportQueued = false;
    bool m_hasLast = false;
    QPointF m_last;
    QPointer<ClockTimer> m_poll;
};

} // namespace notchora
