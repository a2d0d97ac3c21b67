#pragma once

#include "characters/CharacterKind.h"

#include <optional>

class QPainter;

namespace notchora {

// The companions performing on the stage: drawn around the point at their feet, facing
// right, running (bouncing and leaning in) or striking the notch. The ninja has a stage
// drawing of its own (CharacterStagePainter).
class ActorPainter {
public:
    // Height of a performer at scale 1.
    static constexpr double height = 42;

    static void draw(QPainter& painter, CharacterKind kind, double t, bool running,
                     std::optional<double> throwProgress);
};

} // namespace notchora
