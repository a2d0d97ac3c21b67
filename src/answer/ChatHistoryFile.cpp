#include "ChatHistoryFile.h"

#include "Folders.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace notchora {

namespace {
constexpr QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
} // namespace

QByteArray ChatHistoryFile::encode(const QList<ChatThread>& threads) {
    QJsonArray array;
    for (const ChatThread& thread : threads)
        array.append(thread.toJson());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<ChatThread>> ChatHistoryFile::decode(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<ChatThread> threads;
    threads.reserve(array.size());
    for (const QJsonValue& item : array) {
        auto thread = ChatThread::fromJson(item);
        if (!thread)
            return std::nullopt;
        threads.append(std::move(*thread));
    }
    return threads;
}

ChatHistoryFile::LoadStatus ChatHistoryFile::load(QList<ChatThread>& threads) {
    QFile file(m_path);
    if (!file.exists())
        return LoadStatus::Missing;
    if (file.open(QIODevice::ReadOnly)) {
        if (auto decoded = decode(file.readAll())) {
            threads = std::move(*decoded);
            return LoadStatus::Loaded;
        }
        file.close();
    }
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString backup = m_path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFileInfo::exists(backup); ++n)
        backup = m_path + QStringLiteral(".unreadable-%1-%2").arg(stamp).arg(n);
    if (QFile::rename(m_path, backup))
        m_lastBackup = backup;
    return LoadStatus::KeptAside;
}

bool ChatHistoryFile::save(const QList<ChatThread>& threads) const {
    if (!Folders::ensurePrivateDir(QFileInfo(m_path).absolutePath()))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(ownerOnly))
        return false;
    if (file.write(encode(threads)) < 0 || !file.commit())
        return false;
    // Also narrows a file that an older run left wider.
    return QFile::setPermissions(m_path, ownerOnly);
}

bool ChatHistoryFile::remove() const {
    return !QFileInfo::exists(m_path) || QFile::remove(m_path);
}

} // namespace notchora
