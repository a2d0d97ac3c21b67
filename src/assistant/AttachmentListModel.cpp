#include "assistant/AttachmentListModel.h"

#include "assistant/AttachmentImageProvider.h"
#include "assistant/AttachmentThumbnails.h"

#include <QSet>

namespace notchora {

AttachmentListModel::AttachmentListModel(QObject* parent) : QAbstractListModel(parent) {}

AttachmentListModel::~AttachmentListModel() {
    for (const ChatAttachment& attachment : m_rows.list())
        AttachmentThumbnails::shared().release(attachment.id);
}

QVariant AttachmentListModel::data(const QModelIndex& index, int role) const {
    const ChatAttachment* attachment = m_rows.at(index);
    if (!attachment)
        return {};
    switch (role) {
    case IdRole:
        return attachment->id.toString(QUuid::WithoutBraces);
    case Qt::DecorationRole:
        return attachment->thumbnail;
    case ThumbnailRole:
        return QUrl(AttachmentImageProvider::sourceFor(attachment->id));
    default:
        return {};
    }
}

QHash<int, QByteArray> AttachmentListModel::roleNames() const {
    return {{IdRole, "attachmentID"}, {ThumbnailRole, "thumbnail"}};
}

void AttachmentListModel::setAttachments(const QList<ChatAttachment>& attachments) {
    // Thumbnails are published before rows appear and withdrawn after rows are gone, so a
    // view never asks for an id the provider does not know.
    auto& thumbnails = AttachmentThumbnails::shared();
    QSet<QUuid> before;
    for (const ChatAttachment& attachment : m_rows.list())
        before.insert(attachment.id);
    QSet<QUuid> after;
    QList<ChatAttachment> next;
    next.reserve(attachments.size());
    for (const ChatAttachment& attachment : attachments) {
        // One row per id: a repeated attachment would have two rows with one identity.
        if (after.contains(attachment.id))
            continue;
        after.insert(attachment.id);
        next.append(attachment);
        if (!before.contains(attachment.id))
            thumbnails.retain(attachment.id, attachment.thumbnail);
    }
    const int oldCount = rowCount();
    m_rows.sync(*this, next);
    for (const QUuid& id : std::as_const(before))
        if (!after.contains(id))
            thumbnails.release(id);
    if (rowCount() != oldCount)
        emit countChanged();
}

} // namespace notchora
