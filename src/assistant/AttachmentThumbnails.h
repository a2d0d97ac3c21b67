#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QUuid>

namespace notchora {

// The thumbnails the attachment lists show, by attachment id, for the image provider to
// hand to QML. Each list holds a reference to the ids it shows; a thumbnail goes when the
// last list lets go of it. Safe to read from the provider's loader threads.
class AttachmentThumbnails {
public:
    static AttachmentThumbnails& shared();

    void retain(const QUuid& id, const QImage& thumbnail);
    void release(const QUuid& id);
    // Null when no list shows the id.
    QImage thumbnail(const QUuid& id) const;
    int size() const;

private:
    struct Entry {
        QImage image;
        int holders = 0;
    };
    mutable QMutex m_mutex;
    QHash<QUuid, Entry> m_entries;
};

} // namespace notchora
