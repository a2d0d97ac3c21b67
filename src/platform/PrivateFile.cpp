#include "platform/PrivateFile.h"

#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/Logging.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
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
    if (!Folders::ensurePrivateDir(QFileInfo(m_path).absolutePath())) {
        qCWarning(lcPlatform) << "cannot create the folder of" << m_path;
        return false;
    }
    QByteArray temp = QFile::encodeName(m_path) + ".XXXXXX";
    // mkstemp creates the file 0600 whatever the umask, before any byte is in it.
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        qCWarning(lcPlatform) << "cannot write" << m_path << ":" << std::strerror(errno);
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0 && writeFully(fd, data);
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(temp.constData(), QFile::encodeName(m_path).constData()) == 0;
    if (!ok) {
        qCWarning(lcPlatform) << "cannot write" << m_path << ":" << std::strerror(errno);
        ::unlink(temp.constData());
        return false;
    }
    // The rename itself reaches the disk only with its folder.
    const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
    if (const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
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
