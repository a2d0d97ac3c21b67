#pragma once

#include "answer/AIModels.h"
#include "answer/ChatThread.h"

#include <QObject>
#include <QSet>
#include <optional>

namespace notchora {

class AnswerAPIClient;
class ChatHistoryStore;

// Replaces the older messages of a thread by the service's summary of them. The older
// messages go in chunks of 40, oldest first, one request after another, each carrying the
// summary so far; only when every chunk is summarised does the history change. Destroying
// the compaction cancels it and leaves the history as it was.
class ConversationCompaction : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype chunkSize = 40;

    ConversationCompaction(AnswerAPIClient& api, ChatHistoryStore& history, ChatThread thread,
                           qsizetype keepRecent, QObject* parent = nullptr);

    // The context the service reads for these messages: roles and texts, oldest first.
    static ChatContext contextOf(const QList<ChatMessage>& messages,
                                 const std::optional<QString>& summary);

    void start();
    // How many messages the summary replaces.
    qsizetype oldCount() const { return m_old.size(); }

signals:
    // `error` is empty on success. The receiver may destroy the compaction.
    void finished(const std::optional<QString>& error);

private:
    void sendChunk();

    AnswerAPIClient& m_api;
    ChatHistoryStore& m_history;
    QUuid m_threadID;
    QList<ChatMessage> m_old;
    std::optional<QString> m_summary;
    qsizetype m_next = 0;
};

} // namespace notchora
