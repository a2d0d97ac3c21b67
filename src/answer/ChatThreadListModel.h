#pragma once

#include "answer/ChatThread.h"
#include "platform/KeyedRows.h"

#include <QAbstractListModel>
#include <QUuid>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace notchora {

// What a list of conversations shows of each: most recently updated first.
struct ChatThreadRow {
    QUuid id;
    QString title;
    QDateTime updatedAt;
    int messageCount = 0;
    bool isCurrent = false;

    bool operator==(const ChatThreadRow&) const = default;
};

// The chat history's threads, one row each, kept in step with the history store.
class ChatThreadListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The thread list belongs to the chat history store")
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TitleRole,
        UpdatedAtRole,
        MessageCountRole,
        IsCurrentRole,
    };
    Q_ENUM(Role)

    using QAbstractListModel::QAbstractListModel;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    void setThreads(const QList<ChatThread>& threads, const std::optional<QUuid>& current);
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_rows.size();
    }

private:
    template <typename, typename> friend class KeyedRows;
    static QUuid keyOf(const ChatThreadRow& row) { return row.id; }

    KeyedRows<ChatThreadRow, QUuid> m_rows{&keyOf};
};

} // namespace notchora
