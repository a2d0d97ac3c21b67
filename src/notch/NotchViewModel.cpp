#include "notch/NotchViewModel.h"

#include "core/WidgetStore.h"

namespace notchora {

NotchViewModel::NotchViewModel(const NotchGeometry& geometry, WidgetStore& store, QObject* parent)
    : QObject(parent), m_geometry(geometry), m_store(store) {
    connect(&m_store, &WidgetStore::lipHeightChanged, this, &NotchViewModel::collapsedSizeChanged);
}

void NotchViewModel::setGeometry(const NotchGeometry& geometry) {
    if (geometry == m_geometry)
        return;
    const QSizeF before = collapsedSize();
    m_geometry = geometry;
    emit geometryChanged();
    if (collapsedSize() != before)
        emit collapsedSizeChanged();
}

void NotchViewModel::setIsExpanded(bool expanded) {
    if (expanded == m_isExpanded)
        return;
    m_isExpanded = expanded;
    emit isExpandedChanged();
}

void NotchViewModel::setIsHit(bool hit) {
    if (hit == m_isHit)
        return;
    m_isHit = hit;
    emit isHitChanged();
}

void NotchViewModel::setKeepsExpanded(bool keeps) {
    if (keeps != m_keepsExpanded) {
        m_keepsExpanded = keeps;
        emit keepsExpandedChanged();
    }
    if (!keeps && m_onKeepExpandedReleased)
        m_onKeepExpandedReleased();
}

QSizeF NotchViewModel::collapsedSize() const {
    return {m_geometry.notchRect.width(), m_geometry.notchRect.height() + m_store.lipHeight()};
}

} // namespace notchora
