#include "answer/PrivateSecretFile.h"

#include "platform/Folders.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace notchora {

namespace {

// Layout: {"<service>": {"<account>": "<value>"}}.
QJsonObject readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool writeAll(const QString& path, const QByteArray& data) {
    QByteArray temp = QFile::encodeName(path) + ".XXXXXX";
    // mkstemp creates the file 0600 whatever the umask, before any byte is in it.
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, 0600) == 0;
    for (qsizetype done = 0; ok && done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += n > 0 ? n : 0;
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(temp.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    return ok;
}

} // namespace

std::optional<QString> PrivateSecretFile::load(const QString& service,
                                               const QString& account) const {
    const QJsonValue value = readAll(m_path).value(service).toObject().value(account);
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

bool PrivateSecretFile::store(const QString& service, const QString& account,
                              const std::optional<QString>& value) const {
    if (!Folders::ensurePrivateDir(QFileInfo(m_path).absolutePath()))
        return false;
    QJsonObject all = readAll(m_path);
    QJsonObject items = all.value(service).toObject();
    // Delete, then add: the item is always written fresh.
    items.remove(account);
    if (value)
        items.insert(account, *value);
    if (items.isEmpty())
        all.remove(service);
    else
        all.insert(service, items);
    if (all.isEmpty())
        return !QFileInfo::exists(m_path) || QFile::remove(m_path);
    return writeAll(m_path, QJsonDocument(all).toJson(QJsonDocument::Compact));
}

} // namespace notchora
