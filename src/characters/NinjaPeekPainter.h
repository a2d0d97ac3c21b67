#pragma once

#include "characters/CharacterReaction.h"

class QPainter;

namespace notchora {

// The ninja peeking out from behind the notch.
struct NinjaPeekPainter {
    static void draw(QPainter& painter, const CharacterState& state);
};

} // namespace notchora
