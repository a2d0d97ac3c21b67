#pragma once

#include "characters/CharacterReaction.h"

class QPainter;

namespace notchora {

// The cat: a compact loaf that peeks out beside the notch.
struct CatPainter {
    static void draw(QPainter& painter, const CharacterState& state);
};

} // namespace notchora
