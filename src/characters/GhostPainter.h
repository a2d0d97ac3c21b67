#pragma once

#include "characters/CharacterReaction.h"

class QPainter;

namespace notchora {

// The ghost: a floating sheet that says "boo!" now and then.
struct GhostPainter {
    static void draw(QPainter& painter, const CharacterState& state);
    // The "boo!" bubble: every 9 s, and while the pointer is close to an idle ghost.
    static void drawBoo(QPainter& painter, const CharacterState& state);
    static double booOpacity(const CharacterState& state);
};

} // namespace notchora
