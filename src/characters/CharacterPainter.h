#pragma once

#include "characters/CharacterKind.h"
#include "characters/CharacterReaction.h"

#include <QColor>

class QPainter;

namespace notchora {

inline QColor srgb(double r, double g, double b, double a = 1) {
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

// The drawing of one kind in the notch: the character itself, facing right around the
// canvas origin, and what it says beside it (only the ghost says anything).
struct CharacterPainter {
    using Draw = void (*)(QPainter&, const CharacterState&);

    Draw body = nullptr;
    Draw speech = nullptr;

    void draw(QPainter& painter, const CharacterState& state) const;
    static CharacterPainter forKind(CharacterKind kind);
};

} // namespace notchora
