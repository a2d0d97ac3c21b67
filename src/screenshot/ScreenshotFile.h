#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Naming and writing of screenshot files. Shared by the program and notchora-screencapture,
// so both keep the same rule: a screenshot never replaces a file that is already there.
namespace notchora::ScreenshotFile {

// "Screenshot 2024-03-09 at 14.05.07.png": the time as given, Latin digits, 24-hour clock,
// whatever the user's locale.
QString fileName(const QDateTime& localTime);
// `path` with " (n)" before its extension; `path` itself for n <= 1.
QString numbered(const QString& path, int n);
// The first of `path`, "… (2)", "… (3)", … that does not exist yet.
QString freePath(const QString& path);
// Writes `data` into a file created afresh: `path` or, when that exists by now, the next
// free numbered name. Returns the path written, or an empty string with `error` set.
// A partly written file is removed.
QString writeNew(const QString& path, const QByteArray& data, QString* error = nullptr);

} // namespace notchora::ScreenshotFile
