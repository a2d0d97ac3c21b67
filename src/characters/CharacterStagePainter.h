#pragma once

#include "characters/CharacterScene.h"

#include <QPointF>

class QPainter;

namespace notchora {

// One frame of a stage show, in the strip panel's coordinates (top-left origin): the
// performer, the ninja's shuriken and the sparks where each blow lands.
class CharacterStagePainter {
public:
    static constexpr double sparkLength = 0.28;

    static void draw(QPainter& painter, const CharacterScene& scene, double t);

    // The near side wall of the notch, where blows land.
    static QPointF target(const CharacterScene& scene);
    // The ninja's throwing hand.
    static QPointF hand(const CharacterScene& scene);

    static void shuriken(QPainter& painter, const QPointF& at, double rotation, double radius);
    static void sparks(QPainter& painter, const QPointF& at, double progress, double scale);
    // The stage ninja, around its feet, facing right.
    static void ninja(QPainter& painter, double t, bool running,
                      std::optional<double> throwProgress);
};

} // namespace notchora
