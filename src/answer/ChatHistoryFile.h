#pragma once

#include "answer/ChatThread.h"
#include "platform/Clock.h"
#include "platform/PrivateFile.h"

#include <QList>
#include <QString>

namespace notchora {

// history.json: one compact JSON array of threads, readable by its owner only.
class ChatHistoryFile {
public:
    enum class LoadStatus { Missing, Loaded, KeptAside };

    explicit ChatHistoryFile(QString path, const Clock& clock = Clock::system())
        : m_file(std::move(path), clock) {}

    QString path() const { return m_file.path(); }

    static QByteArray encode(const QList<ChatThread>& threads);
    // None when the bytes are not an array of complete threads.
    static std::optional<QList<ChatThread>> decode(const QByteArray& data);

    // Reads the file. One that cannot be read or decoded is moved aside to a dated backup
    // so that the next save cannot destroy the user's conversations.
    LoadStatus load(QList<ChatThread>& threads);
    // Atomic replacement; the new file is 0600 before any byte is written, its folder 0700.
    bool save(const QList<ChatThread>& threads) const;
    // Deletes the file; a missing file is fine.
    bool remove() const;

    // Where the last unreadable file was moved to.
    QString lastBackupPath() const { return m_lastBackup; }

private:
    PrivateFile m_file;
    QString m_lastBackup;
};

} // namespace notchora
