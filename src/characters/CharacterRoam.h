#pragma once

#include "characters/CharacterKind.h"

namespace notchora {

// How a kind moves in the closed notch: pacing across it with an eased turn at each end,
// or bobbing in place.
struct CharacterRoam {
    enum class Style { Walk, Bob };
    struct Sample {
        double x = 0;
        double y = 0;
        int facing = 1;
    };

    Style style = Style::Walk;
    double period = 7; // seconds for one pass
    double reach = 0;  // added to half the notch width; the amplitude when bobbing
    double hop = 0;
    bool turns = true;

    static CharacterRoam forKind(CharacterKind kind);
    Sample sample(double t, double halfNotch) const;
};

} // namespace notchora
