#include "characters/CharacterFrame.h"

#include "characters/CharacterEffects.h"
#include "characters/CharacterPainter.h"

#include <QPainter>
#include <numbers>

namespace notchora {

void CharacterFrame::paint(QPainter& painter, CharacterKind kind, const CharacterState& state) {
    const auto pose = CharacterEffects::pose(state);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(0, pose.dy);
    painter.scale(pose.scaleX, pose.scaleY);
    painter.rotate(pose.rotation * 180 / std::numbers::pi);
    CharacterPainter::forKind(kind).draw(painter, state);
    painter.restore();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    CharacterEffects::drawMoodEffect(painter, state);
    painter.restore();
}

} // namespace notchora
