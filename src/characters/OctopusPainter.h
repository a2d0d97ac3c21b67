#pragma once

#include "characters/CharacterReaction.h"

class QPainter;

namespace notchora {

// The octopus: a round mantle on five curling tentacles.
struct OctopusPainter {
    static void draw(QPainter& painter, const CharacterState& state);
};

} // namespace notchora
