#include "notch/NotchViewModel.h"

#include "core/WidgetStore.h"

namespace notchora {

NotchViewModel::NotchViewModel(const NotchGeometry& geometry, WidgetStore& store, QObject* parent)
    : QObject(parent), m_geometry(geometry), m_store(store) {
    connect(&m_store, &WidgetStore::lipHeightChanged, this, &NotchViewModel::collapsedSizeChanged);
    for (auto signal : {&WidgetStore::lipHeightChanged, &WidgetStore::widgetScaleChanged,
                        &WidgetStore::modulesChanged})
        connect(&m_store, signal, this, qOverload<>(&NotchViewModel::updateLayout));
    for (auto signal : {&WidgetStore::lipHeightChanged, &WidgetStore::animationSpeedChanged})
        connect(&m_store, signal, this, &NotchViewModel::updateEnvironment);
    updateLayout();
    m_collapsedEnvironment.notchViewModel = this;
    updateEnvironment();
}

void NotchViewModel::setGeometry(const NotchGeometry& geometry) {
    if (geometry == m_geometry)
        return;
    const QSizeF before = collapsedSize();
    m_geometry = geometry;
    emit geometryChanged();
    if (collapsedSize() != before)
        emit collapsedSizeChanged();
    updateLayout();
    updateEnvironment();
}

void NotchViewModel::setIsExpanded(bool expanded) {
    if (expanded == m_isExpanded)
        return;
    m_isExpanded = expanded;
    emit isExpandedChanged();
    emit environmentChanged();
}

void NotchViewModel::setFlinching(bool flinching) {
    if (flinching == m_isFlinching)
        return;
    m_isFlinching = flinching;
    emit isFlinchingChanged();
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

void NotchViewModel::setOpenness(double openness) {
    TrayLayout::Inputs inputs = m_layout.inputs();
    inputs.openness = openness;
    updateLayout(inputs);
}

void NotchViewModel::setHitBump(double bump) {
    TrayLayout::Inputs inputs = m_layout.inputs();
    inputs.bump = bump;
    updateLayout(inputs);
}

void NotchViewModel::updateLayout() {
    TrayLayout::Inputs inputs = m_layout.inputs();
    inputs.notch = m_geometry.notchRect.size();
    inputs.lipHeight = m_store.lipHeight();
    inputs.widgetScale = m_store.widgetScale();
    inputs.windowWidth = NotchGeometry::panelWidth;
    inputs.hasSlot = m_store.collapsedModule().has_value();
    updateLayout(inputs);
}

void NotchViewModel::updateLayout(TrayLayout::Inputs inputs) {
    if (inputs == m_layout.inputs())
        return;
    m_layout = TrayLayout(inputs);
    emit layoutChanged();
}

void NotchViewModel::updateEnvironment() {
    WidgetEnvironment environment = m_collapsedEnvironment;
    environment.animationSpeed = m_store.animationSpeed();
    environment.slotToNotchEdge = TrayLayout::slotToNotchEdge;
    environment.notchWidth = m_layout.notchWidth();
    environment.notchHeight = m_layout.notchHeight();
    environment.collapsedHeight = m_layout.collapsedHeight();
    if (environment == m_collapsedEnvironment)
        return;
    m_collapsedEnvironment = environment;
    emit environmentChanged();
}

WidgetEnvironment NotchViewModel::expandedEnvironment() const {
    WidgetEnvironment environment = m_collapsedEnvironment;
    // The pages keep still while the tray is shut.
    environment.animationsPaused = !m_isExpanded;
    return environment;
}

} // namespace notchora
