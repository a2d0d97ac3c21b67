#pragma once

#include "characters/CharacterKind.h"

namespace notchora {

// Fixed measures of each kind's drawing: its vertical extent from the canvas origin row,
// where it sits in the collapsed notch, the height the pointer is compared with, and how
// its picker card frames it.
struct CharacterMetrics {
    enum class Placement { Roaming, Slot };

    static constexpr double canvasWidth = 64;
    static constexpr double canvasHeight = 72;
    static constexpr double originX = 32;
    static constexpr double originY = 28;

    double top = 0;
    double bottom = 0;
    Placement placement = Placement::Roaming;
    double foot = 0;
    double previewScale = 1;
    double previewYShift = 0;
    double previewXShift = 0;

    static CharacterMetrics forKind(CharacterKind kind);
};

} // namespace notchora
