#include "answer/ChatMessageListModel.h"

namespace notchora {

QVariant ChatMessageListModel::data(const QModelIndex& index, int role) const {
    const ChatMessage* message = m_rows.at(index);
    if (!message)
        return {};
    switch (role) {
    case IdRole:
        return message->idString();
    case RoleRole:
        return message->roleString();
    case Qt::DisplayRole:
    case TextRole:
        return message->text;
    case CreatedAtRole:
        return message->date;
    case HadImagesRole:
        return message->hadImages;
    case HasConfidenceRole:
        return message->hasConfidence();
    case ConfidenceRole:
        return message->confidenceValue();
    default:
        return {};
    }
}

QHash<int, QByteArray> ChatMessageListModel::roleNames() const {
    return {{IdRole, "messageID"},
            {RoleRole, "role"},
            {TextRole, "text"},
            {CreatedAtRole, "createdAt"},
            {HadImagesRole, "hadImages"},
            {HasConfidenceRole, "hasConfidence"},
            {ConfidenceRole, "confidence"}};
}

void ChatMessageListModel::setMessages(const QList<ChatMessage>& messages) {
    m_rows.sync(*this, messages);
}

} // namespace notchora
