#include "screenshot/ScreenshotDestination.h"

#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/Folders.h"
#include "screenshot/ScreenshotFile.h"

#include <QDir>
#include <QStandardPaths>

namespace notchora {

ScreenshotDestination::ScreenshotDestination(const Defaults& screencapture, const Clock& clock)
    : m_screencapture(screencapture), m_clock(clock) {}

ScreenshotDestination::ScreenshotDestination(const Clock& clock)
    : ScreenshotDestination(Defaults::shared(QString::fromLatin1(Defaults::screencaptureDomain)),
                            clock) {}

QString ScreenshotDestination::folder() const {
    const auto location = m_screencapture.stringValue(QString::fromLatin1(locationKey));
    if (location && !location->trimmed().isEmpty()) {
        QString path = *location;
        if (path == QLatin1String("~"))
            path = Folders::home();
        else if (path.startsWith(QLatin1String("~/")))
            path = Folders::home() + path.mid(1);
        return QDir::cleanPath(path);
    }
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return desktop.isEmpty() ? Folders::home() : desktop;
}

QString ScreenshotDestination::destinationPath() const {
    return destinationPath(m_clock.now());
}

QString ScreenshotDestination::destinationPath(const QDateTime& takenAt) const {
    const QString name = ScreenshotFile::fileName(takenAt.toLocalTime());
    return ScreenshotFile::freePath(QDir(folder()).absoluteFilePath(name));
}

} // namespace notchora
