#include "platform/Folders.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace notchora::Folders {

namespace {

QString absoluteEnv(const char* name) {
    const QString value = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

} // namespace

QString home() {
    if (QString h = absoluteEnv("HOME"); !h.isEmpty())
        return h;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return QString::fromLocal8Bit(pw->pw_dir);
    return QDir::homePath();
}

QString configHome() {
    QString dir = absoluteEnv("XDG_CONFIG_HOME");
    return dir.isEmpty() ? home() + QStringLiteral("/.config") : dir;
}

QString dataHome() {
    QString dir = absoluteEnv("XDG_DATA_HOME");
    return dir.isEmpty() ? home() + QStringLiteral("/.local/share") : dir;
}

QString configDir() {
    return configHome() + QStringLiteral("/notchora");
}

QString dataDir() {
    return dataHome() + QStringLiteral("/Notchora");
}

bool ensurePrivateDir(const QString& path) {
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || QFileInfo(path).isDir();
}

QString privateTempPath(const QString& prefix, const QString& suffix) {
    const QString runtime = absoluteEnv("XDG_RUNTIME_DIR");
    const QString folder = !runtime.isEmpty() ? runtime + QStringLiteral("/notchora")
                                              : QDir::tempPath() + QStringLiteral("/notchora-") +
                                                    QString::number(::getuid());
    if (!ensurePrivateDir(folder))
        return {};
    // Someone else's folder, or one others can look into, is no place for a screenshot.
    struct stat info {};
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid())
        return {};
    if ((info.st_mode & 077) != 0 && ::chmod(QFile::encodeName(folder).constData(), 0700) != 0)
        return {};
    return folder + QLatin1Char('/') + prefix + QUuid::createUuid().toString(QUuid::WithoutBraces) +
           suffix;
}

} // namespace notchora::Folders
