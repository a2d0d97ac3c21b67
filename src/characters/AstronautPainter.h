#pragma once

#include "characters/CharacterReaction.h"

class QPainter;

namespace notchora {

// The astronaut: helmet, visor and two glowing eyes.
struct AstronautPainter {
    static void draw(QPainter& painter, const CharacterState& state);
};

} // namespace notchora
