#include "platform/Folders.h"

#include "platform/Logging.h"

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

QString privateRuntimeDir() {
    const QString runtime = absoluteEnv("XDG_RUNTIME_DIR");
    const QString folder = !runtime.isEmpty() ? runtime + QStringLiteral("/notchora")
                                              : QDir::tempPath() + QStringLiteral("/notchora-") +
                                                    QString::number(::getuid());
    if (!ensurePrivateDir(folder))
        return {};
    // In the shared temporary folder anyone can make that name first: a folder that is not a
    // real folder of ours, or one others can reach into, is refused.
    // A folder of ours that others could only look into is closed; one they could write into
    // may hold their files already.
    const QByteArray name = QFile::encodeName(folder);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 022) != 0 ||
        ((info.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)) {
        qCWarning(lcPlatform) << folder << "is not a private folder of ours; not using it";
        return {};
    }
    return folder;
}

QString privateTempPath(const QString& prefix, const QString& suffix) {
    const QString folder = privateRuntimeDir();
    if (folder.isEmpty())
        return {};
    return folder + QLatin1Char('/') + prefix + QUuid::createUuid().toString(QUuid::WithoutBraces) +
           suffix;
}

} // namespace notchora::Folders
