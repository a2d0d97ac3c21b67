#pragma once

#include "characters/CharacterKind.h"

#include <QList>
#include <optional>

namespace notchora {

// One stage show: the performer runs in along the top of the screen, strikes the notch
// three times and runs off the other side. Times are seconds from the show's start; x is
// measured from the screen's left edge.
struct CharacterScene {
    CharacterKind kind = CharacterKind::Monkey;
    int direction = 1; // +1 enters from the left, -1 from the right
    double width = 0;
    double notchX = 0;
    double notchWidth = 0;
    double notchBottom = 24;

    static constexpr double runInEnd = 1.8;
    static constexpr double throwStarts[3] = {2.0, 2.45, 2.9};
    static constexpr double throwLength = 0.34;
    static constexpr double windUp = 0.25;
    static constexpr double impactDelay = 0.17;
    static constexpr double shurikenFlight = 0.45;
    static constexpr double runOutStart = 3.5;
    static constexpr double duration = 5.4;

    bool isNinja() const { return kind == CharacterKind::Ninja; }
    // Where the performer stands while striking.
    double standX() const;
    double startX() const { return direction > 0 ? -40 : width + 40; }
    double endX() const { return direction > 0 ? width + 40 : -40; }

    double ninjaX(double t) const;
    bool isRunning(double t) const { return t < runInEnd || t >= runOutStart; }
    // 0 while winding up before the first throw, 0..1 through each strike, else absent.
    std::optional<double> throwProgress(double t) const;
    // When each strike lands on the notch (the ninja's shuriken needs time to fly).
    QList<double> hitTimes() const;

    // The performer's scale and the line its feet stand on.
    double ground() const { return notchBottom - 2; }
    double scale() const;
};

} // namespace notchora
