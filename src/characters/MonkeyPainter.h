#pragma once

#include "characters/CharacterReaction.h"

class QPainter;

namespace notchora {

// The monkey: sits low in the canvas, tail curled behind it.
struct MonkeyPainter {
    static void draw(QPainter& painter, const CharacterState& state);
};

} // namespace notchora
