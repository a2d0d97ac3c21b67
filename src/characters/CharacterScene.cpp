#include "characters/CharacterScene.h"

#include <algorithm>

namespace notchora {

double CharacterScene::standX() const {
    const double standOff = (isNinja() ? 70 : 24) + notchWidth / 2;
    return notchX - direction * standOff;
}

double CharacterScene::ninjaX(double t) const {
    const double stand = standX();
    if (t < runInEnd) {
        const double p = std::max(t, 0.0) / runInEnd;
        return startX() + p * (2 - p) * (stand - startX());
    }
    if (t <= runOutStart)
        return stand;
    const double q = std::min((t - runOutStart) / (duration - runOutStart), 1.0);
    return stand + q * q * (endX() - stand);
}

std::optional<double> CharacterScene::throwProgress(double t) const {
    for (double start : throwStarts)
        if (t >= start && t < start + throwLength)
            return (t - start) / throwLength;
    if (t >= throwStarts[0] - windUp && t < throwStarts[0])
        return 0.0;
    return std::nullopt;
}

QList<double> CharacterScene::hitTimes() const {
    QList<double> times;
    for (double start : throwStarts)
        times << start + impactDelay + (isNinja() ? shurikenFlight : 0);
    return times;
}

double CharacterScene::scale() const {
    return std::min((notchBottom - 6) / 42, 1.0);
}

} // namespace notchora
