#pragma once

#include "characters/CharacterKind.h"
#include "characters/CharacterReaction.h"

class QPainter;

namespace notchora {

// Draws one frame of one character with the painter's origin at the canvas origin: the
// kind's drawing in the mood's pose, then the mood's effect, unposed, above it.
class CharacterFrame {
public:
    static void paint(QPainter& painter, CharacterKind kind, const CharacterState& state);
};

} // namespace notchora
