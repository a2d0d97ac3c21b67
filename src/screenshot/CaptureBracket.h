#pragma once

#include <QObject>
#include <functional>

namespace notchora {

class Clock;
class ClockTimer;

// Keeps the program's own windows out of one of our captures: raises the in-progress flag
// of CaptureVisibility, gives the windows 150 ms to hide, and lowers the flag again when
// the capture ends, however it ends. Destroying the bracket lowers the flag too.
class CaptureBracket : public QObject {
    Q_OBJECT
public:
    static constexpr double pauseSeconds = 0.15;

    CaptureBracket(Clock& clock, QObject* parent = nullptr);
    ~CaptureBracket() override;

    // Raises the flag and runs `afterPause` once the windows have had time to hide.
    void begin(std::function<void()> afterPause);
    // Lowers the flag; does nothing when it is not raised by this bracket.
    void end();
    bool isOpen() const { return m_open; }

private:
    Clock& m_clock;
    ClockTimer* m_pause = nullptr;
    bool m_open = false;
};

} // namespace notchora
