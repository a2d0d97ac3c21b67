#include "screenshot/ScreenshotFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace notchora::ScreenshotFile {

namespace {

// Gives up after this many taken names rather than looping over a broken folder.
constexpr int maxAttempts = 1000;

} // namespace

QString fileName(const QDateTime& localTime) {
    return QStringLiteral("Screenshot ") +
           QLocale::c().toString(localTime, QStringLiteral("yyyy-MM-dd 'at' HH.mm.ss")) +
           QStringLiteral(".png");
}

QString numbered(const QString& path, int n) {
    if (n <= 1)
        return path;
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    QString stem = path;
    if (!suffix.isEmpty())
        stem.chop(suffix.size() + 1);
    const QString tail = QStringLiteral(" (%1)").arg(n);
    return suffix.isEmpty() ? stem + tail : stem + tail + QLatin1Char('.') + suffix;
}

QString freePath(const QString& path) {
    for (int n = 1; n <= maxAttempts; ++n) {
        const QString candidate = numbered(path, n);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
    return numbered(path, maxAttempts + 1);
}

QString writeNew(const QString& path, const QByteArray& data, QString* error) {
    QString lastError;
    // A picture written into a private folder (our temporary captures) is private from the
    // moment it exists; elsewhere the usual umask applies.
    const QFileDevice::Permissions folder = QFileInfo(QFileInfo(path).absolutePath()).permissions();
    const bool isPrivate = !(folder & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                       QFileDevice::ExeGroup | QFileDevice::ExeOther));
    const QFileDevice::Permissions fileMode =
        isPrivate ? QFileDevice::ReadOwner | QFileDevice::WriteOwner
                  : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther;
    for (int n = 1; n <= maxAttempts; ++n) {
        const QString candidate = numbered(path, n);
        QFile file(candidate);
        // NewOnly fails when the name is taken, even if another process took it a moment ago.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, fileMode)) {
            if (QFileInfo::exists(candidate))
                continue;
            lastError = file.errorString();
            break;
        }
        if (file.write(data) == data.size() && file.flush()) {
            file.close();
            if (file.error() == QFileDevice::NoError)
                return candidate;
        }
        lastError = file.errorString();
        file.close();
        QFile::remove(candidate);
        break;
    }
    if (error)
        *error = lastError.isEmpty() ? QStringLiteral("no free file name") : lastError;
    return QString();
}

} // namespace notchora::ScreenshotFile
