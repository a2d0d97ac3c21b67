#include "answer/ChatThreadListModel.h"

namespace notchora {

QVariant ChatThreadListModel::data(const QModelIndex& index, int role) const {
    const ChatThreadRow* row = m_rows.at(index);
    if (!row)
        return {};
    switch (role) {
    case IdRole:
        return uuidString(row->id);
    case Qt::DisplayRole:
    case TitleRole:
        return row->title;
    case UpdatedAtRole:
        return row->updatedAt;
    case MessageCountRole:
        return row->messageCount;
    case IsCurrentRole:
        return row->isCurrent;
    default:
        return {};
    }
}

QHash<int, QByteArray> ChatThreadListModel::roleNames() const {
    return {{IdRole, "threadID"},
            {TitleRole, "title"},
            {UpdatedAtRole, "updatedAt"},
            {MessageCountRole, "messageCount"},
            {IsCurrentRole, "isCurrent"}};
}

void ChatThreadListModel::setThreads(const QList<ChatThread>& threads,
                                     const std::optional<QUuid>& current) {
    QList<ChatThreadRow> next;
    next.reserve(threads.size());
    for (const ChatThread& thread : threads)
        next.append({thread.id, thread.title, thread.updatedAt, int(thread.messages.size()),
                     current == thread.id});
    m_rows.sync(*this, next);
}

} // namespace notchora
