#include "assistant/AttachmentThumbnails.h"

#include <QMutexLocker>

namespace notchora {

AttachmentThumbnails& AttachmentThumbnails::shared() {
    static AttachmentThumbnails thumbnails;
    return thumbnails;
}

void AttachmentThumbnails::retain(const QUuid& id, const QImage& thumbnail) {
    QMutexLocker lock(&m_mutex);
    Entry& entry = m_entries[id];
    entry.image = thumbnail;
    ++entry.holders;
}

void AttachmentThumbnails::release(const QUuid& id) {
    QMutexLocker lock(&m_mutex);
    const auto found = m_entries.find(id);
    if (found == m_entries.end())
        return;
    if (--found->holders <= 0)
        m_entries.erase(found);
}

QImage AttachmentThumbnails::thumbnail(const QUuid& id) const {
    QMutexLocker lock(&m_mutex);
    return m_entries.value(id).image;
}

int AttachmentThumbnails::size() const {
    QMutexLocker lock(&m_mutex);
    return int(m_entries.size());
}

} // namespace notchora
