#include "characters/CharacterPacer.h"

#include "characters/CharacterLayout.h"
#include "characters/CharacterMoodCenter.h"
#include "notch/CursorTracker.h"

namespace notchora {

CharacterPacer::CharacterPacer(QObject* parent)
    : CharacterPacer(CharacterMoodCenter::shared(), parent) {}

CharacterPacer::CharacterPacer(CharacterMoodCenter& moods, QObject* parent)
    : QObject(parent), m_moods(moods) {}

void CharacterPacer::setKind(CharacterKind kind) {
    change(m_kind, kind);
}

void CharacterPacer::setNotchWidth(double width) {
    change(m_notchWidth, width);
}

void CharacterPacer::setNotchHeight(double height) {
    change(m_notchHeight, height);
}

void CharacterPacer::setSlotToNotchEdge(double distance) {
    change(m_slotToNotchEdge, distance);
}

void CharacterPacer::setSpeed(double speed) {
    if (speed == m_speed)
        return;
    m_speed = speed;
    emit speedChanged();
}

double CharacterPacer::drawingScale() const {
    return CharacterLayout(m_kind, m_notchWidth, m_notchHeight, m_slotToNotchEdge).scale();
}

QPointF CharacterPacer::placement() const {
    return CharacterLayout(m_kind, m_notchWidth, m_notchHeight, m_slotToNotchEdge).placement();
}

void CharacterPacer::advance(const QDateTime& now) {
    const CharacterLayout layout(m_kind, m_notchWidth, m_notchHeight, m_slotToNotchEdge);
    const double t = CharacterState::referenceSeconds(now) * m_speed;
    const auto frame = layout.frame(t, CursorTracker::shared().location());
    m_reaction = {frame.look, frame.near, m_moods.mood(), m_moods.since()};
    if (frame.offset != m_offset) {
        m_offset = frame.offset;
        emit frameChanged();
    }
    if (frame.facing != m_facing) {
        m_facing = frame.facing;
        emit facingChanged();
    }
}

} // namespace notchora
