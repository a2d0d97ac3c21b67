#pragma once

#include <QStringList>

namespace notchora::Diagnostics {

// The desktop's own settings program (with its arguments) where one is installed, for the
// user to look at screen sharing and privacy there; empty when none is known. X11 itself
// asks no permission to record the screen.
QStringList screenRecordingSettingsCommand();
// Starts that program; false when there is none or it could not be started.
bool openScreenRecordingSettings();

} // namespace notchora::Diagnostics
