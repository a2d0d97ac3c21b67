#pragma once

#include <QDateTime>
#include <QString>

namespace notchora {

class Clock;
class Defaults;

// Where new screenshots are saved and what they are called: the "location" of the
// screenshot tool's settings (a leading ~ is the home folder), else the desktop folder, else
// home; names follow the clock and never replace an existing file.
class ScreenshotDestination {
public:
    static constexpr auto locationKey = "location";

    // `screencapture` is the screenshot tool's settings domain.
    ScreenshotDestination(const Defaults& screencapture, const Clock& clock);
    // The shared screenshot tool settings.
    explicit ScreenshotDestination(const Clock& clock);

    QString folder() const;
    // Path for a screenshot taken now; never names a file that already exists.
    QString destinationPath() const;
    QString destinationPath(const QDateTime& takenAt) const;

private:
    const Defaults& m_screencapture;
    const Clock& m_clock;
};

} // namespace notchora
