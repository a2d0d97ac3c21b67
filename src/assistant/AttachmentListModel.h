#pragma once

#include "answer/AIModels.h"
#include "platform/KeyedRows.h"

#include <QAbstractListModel>
#include <QUuid>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// The pending attachments as a list model, one row per attachment in list order. Rows keep
// their identity by attachment id, so a view animates what comes and goes.
class AttachmentListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged FINAL)
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        ThumbnailRole,
    };
    Q_ENUM(Role)

    explicit AttachmentListModel(QObject* parent = nullptr);
    ~AttachmentListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_rows.size();
    }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    void setAttachments(const QList<ChatAttachment>& attachments);
    const QList<ChatAttachment>& attachments() const { return m_rows.list(); }

signals:
    void countChanged();

private:
    template <typename, typename> friend class KeyedRows;
    static QUuid keyOf(const ChatAttachment& attachment) { return attachment.id; }

    KeyedRows<ChatAttachment, QUuid> m_rows{&keyOf};
};

} // namespace notchora
