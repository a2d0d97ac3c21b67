#pragma once

#include "characters/CharacterReaction.h"

class QPainter;

namespace notchora {

// The bird: flies high in the canvas with beating wings.
struct BirdPainter {
    static void draw(QPainter& painter, const CharacterState& state);
};

} // namespace notchora
