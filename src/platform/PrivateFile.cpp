#include "platform/PrivateFile.h"

#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/Logging.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace notchora {

namespace {

bool writeFully(int fd, const QByteArray& data) {
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Links the unnamed file open as `fd` beside `target` under a fresh name, returned in `name`.
bool giveName(int fd, const QByteArray& target, QByteArray& name) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".tmp-" + QByteArray::number(QRandomGenerator::system()->generate(), 16);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) ==
            0)
            return true;
        if (errno != EEXIST)
            break;
    }
    name.clear();
    return false;
}

} // namespace

PrivateFile::PrivateFile(QString path, const Clock& clock)
    : m_path(std::move(path)), m_clock(clock) {}

PrivateFile::Contents PrivateFile::read() const {
    QFile file(m_path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {Status::Unreadable, {}};
    return {Status::Read, file.readAll()};
}

bool PrivateFile::write(const QByteArray& data) const {
    m_lastWriteError = 0;
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!Folders::ensurePrivateDir(folder)) {
        m_lastWriteError = errno ? errno : EACCES;
        qCWarning(lcPlatform) << "cannot create the folder of" << m_path;
        return false;
    }
    const QByteArray target = QFile::encodeName(m_path);
    const auto failed = [&](int error, const QByteArray& temp) {
        m_lastWriteError = error;
        qCWarning(lcPlatform) << "cannot write" << m_path << ":" << std::strerror(error);
        if (!temp.isEmpty())
            ::unlink(temp.constData());
        return false;
    };

    // The new contents go to a file without a name, which gets one only once it is complete:
    // a process killed while writing leaves nothing behind. Where the file system cannot do
    // that, a named temporary file (created 0600, whatever the umask) takes its place.
    QByteArray temp;
    int fd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    const bool unnamed = fd >= 0;
    if (!unnamed) {
        temp = target + ".XXXXXX";
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0)
            return failed(errno, {});
    }
    bool ok = ::fchmod(fd, 0600) == 0 && writeFully(fd, data) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (ok && unnamed) {
        ok = giveName(fd, target, temp);
        error = ok ? 0 : errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp.constData(), target.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok)
        return failed(error ? error : EIO, temp);
    // The rename itself reaches the disk only with its folder.
    if (const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
        dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

QString PrivateFile::describeProblem(int error) {
    switch (error) {
    case 0:
        return {};
    case ENOSPC:
        return QStringLiteral("disk penuh");
    case EDQUOT:
        return QStringLiteral("kuota disk habis");
    case EACCES:
    case EPERM:
        return QStringLiteral("tidak diizinkan");
    case EROFS:
        return QStringLiteral("sistem berkas hanya bisa dibaca");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

bool PrivateFile::remove() const {
    return !QFileInfo::exists(m_path) || QFile::remove(m_path);
}

QString PrivateFile::backupPath(const QString& path, const QDateTime& now, int attempt) {
    const QString stamp = now.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = path + QStringLiteral(".unreadable-") + stamp;
    if (attempt > 0)
        name += QStringLiteral("-%1").arg(attempt + 1);
    return name;
}

QString PrivateFile::keepAside(KeepAside how) const {
    const QDateTime now = m_clock.now();
    // Neither QFile::rename nor QFile::copy replaces an existing file, so an earlier backup
    // of the same second survives even when another process races us to the name.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const QString backup = backupPath(m_path, now, attempt);
        if (QFileInfo::exists(backup))
            continue;
        const bool kept =
            how == KeepAside::Move ? QFile::rename(m_path, backup) : QFile::copy(m_path, backup);
        if (kept) {
            qCWarning(lcPlatform) << "kept the unreadable file" << m_path << "aside as" << backup;
            return backup;
        }
        if (QFileInfo::exists(backup))
            continue;
        break;
    }
    qCWarning(lcPlatform) << "cannot keep the unreadable file" << m_path << "aside";
    return {};
}

} // namespace notchora
