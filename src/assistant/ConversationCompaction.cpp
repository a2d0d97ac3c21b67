#include "assistant/ConversationCompaction.h"

#include "answer/AnswerAPIClient.h"
#include "answer/ChatHistoryStore.h"
#include "assistant/Logging.h"

namespace notchora {

ConversationCompaction::ConversationCompaction(AnswerAPIClient& api, ChatHistoryStore& history,
                                               ChatThread thread, qsizetype keepRecent,
                                               QObject* parent)
    : QObject(parent), m_api(api), m_history(history), m_threadID(thread.id),
      m_old(thread.messages.mid(0, std::max<qsizetype>(0, thread.messages.size() - keepRecent))),
      m_summary(thread.summary) {}

void ConversationCompaction::start() {
    if (m_old.isEmpty()) {
        emit finished(std::nullopt);
        return;
    }
    sendChunk();
}

ChatContext ConversationCompaction::contextOf(const QList<ChatMessage>& messages,
                                              const std::optional<QString>& summary) {
    ChatContext context;
    for (const ChatMessage& message : messages)
        context.messages << ChatContextMessage{
            QString::fromLatin1(message.role == ChatMessage::Role::Assistant
                                    ? ChatContextMessage::roleAssistant
                                    : ChatContextMessage::roleUser),
            message.text};
    context.summary = summary;
    return context;
}

void ConversationCompaction::sendChunk() {
    const qsizetype end = std::min(m_next + chunkSize, m_old.size());
    const ChatContext context = contextOf(m_old.mid(m_next, end - m_next), m_summary);
    m_next = end;
    m_api.compact(context, this, [this](const std::variant<QString, AnswerAPIError>& outcome) {
        if (const auto* error = std::get_if<AnswerAPIError>(&outcome)) {
            qCWarning(lcAssistant)
                << "compaction failed with status" << error->status << ":" << error->message;
            emit finished(error->message);
            return;
        }
        m_summary = std::get<QString>(outcome);
        if (m_next < m_old.size()) {
            sendChunk();
            return;
        }
        QSet<QUuid> removing;
        for (const ChatMessage& message : std::as_const(m_old))
            removing.insert(message.id);
        m_history.applyCompaction(m_threadID, m_summary.value_or(QString()), removing);
        emit finished(std::nullopt);
    });
}

} // namespace notchora
