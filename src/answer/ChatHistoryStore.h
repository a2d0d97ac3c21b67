#pragma once

#include "answer/ChatHistoryFile.h"
#include "answer/ChatMessageListModel.h"
#include "answer/ChatThread.h"
#include "answer/ChatThreadListModel.h"

#include <QObject>
#include <QSet>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

namespace notchora {

class Clock;
class Defaults;

// The user's conversations with the assistant, most recently updated first, mirrored in
// history.json after every change (unless "ai.saveHistory" is off). The current thread
// receives appended messages; with none, the next message starts a new thread.
class ChatHistoryStore : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QVariantList threads READ threadList NOTIFY threadsChanged FINAL)
    Q_PROPERTY(QString currentID READ currentIDString WRITE setCurrentIDString NOTIFY
                   currentIDChanged FINAL)
    // The threads and the current thread's messages, for views that show them as lists.
    Q_PROPERTY(notchora::ChatThreadListModel* threadsModel READ threadsModel CONSTANT FINAL)
    Q_PROPERTY(notchora::ChatMessageListModel* messagesModel READ messagesModel CONSTANT FINAL)
public:
    static constexpr qsizetype maxThreads = 30;
    static constexpr qsizetype maxMessages = 200;
    static constexpr qsizetype maxTitleCharacters = 44;
    static constexpr auto untitled = "Percakapan";

    ChatHistoryStore(QString filePath, Defaults& defaults, Clock& clock, QObject* parent = nullptr);
    ~ChatHistoryStore() override;

    static ChatHistoryStore& shared();
    static ChatHistoryStore* create(QQmlEngine*, QJSEngine*);
    // <data folder>/history.json
    static QString defaultFilePath();

    QString filePath() const { return m_file.path(); }
    // Where an undecodable history file was moved at start-up, if any.
    QString lastBackupPath() const { return m_file.lastBackupPath(); }

    const QList<ChatThread>& threads() const { return m_threads; }
    std::optional<QUuid> currentID() const { return m_currentID; }
    // Selects a thread, or with none prepares a new conversation. Not persisted.
    void setCurrentID(std::optional<QUuid> id);
    std::optional<ChatThread> currentThread() const;
    ChatThreadListModel* threadsModel() { return &m_threadsModel; }
    ChatMessageListModel* messagesModel() { return &m_messagesModel; }

    void append(const ChatMessage& message);
    // Takes back the current thread's last message if it has this role; a thread left
    // empty goes away.
    void removeLastMessage(ChatMessage::Role ifRole);
    // Replaces the given messages of a thread by a summary; order and title stay.
    void applyCompaction(const QUuid& threadID, const QString& summary,
                         const QSet<QUuid>& removing);
    void select(const QUuid& id);
    Q_INVOKABLE void clearAll();
    // Writes the history at once when saving is on, deletes the file when it is off.
    void applyPersistenceSetting();

    Q_INVOKABLE void select(const QString& id);

signals:
    void threadsChanged();
    void currentIDChanged();

private:
    void save();
    void updateModels();
    qsizetype indexOf(const QUuid& id) const;
    QVariantList threadList() const;
    QString currentIDString() const;
    void setCurrentIDString(const QString& id);

    ChatHistoryFile m_file;
    Defaults& m_defaults;
    Clock& m_clock;
    QList<ChatThread> m_threads;
    std::optional<QUuid> m_currentID;
    ChatThreadListModel m_threadsModel;
    ChatMessageListModel m_messagesModel;
};

} // namespace notchora
