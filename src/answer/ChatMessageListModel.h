#pragma once

#include "answer/ChatMessage.h"
#include "platform/KeyedRows.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// The messages of the current conversation, oldest first, kept in step with the history
// store: an answer arriving adds one row, switching threads replaces them.
class ChatMessageListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The message list belongs to the chat history store")
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        RoleRole,
        TextRole,
        CreatedAtRole,
        HadImagesRole,
        HasConfidenceRole,
        ConfidenceRole,
    };
    Q_ENUM(Role)

    using QAbstractListModel::QAbstractListModel;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    void setMessages(const QList<ChatMessage>& messages);
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_rows.size();
    }

private:
    template <typename, typename> friend class KeyedRows;
    static QUuid keyOf(const ChatMessage& message) { return message.id; }

    KeyedRows<ChatMessage, QUuid> m_rows{&keyOf};
};

} // namespace notchora
