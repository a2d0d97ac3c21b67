#include "characters/CharacterRoam.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace notchora {

CharacterRoam CharacterRoam::forKind(CharacterKind kind) {
    switch (kind) {
    case CharacterKind::Monkey:
        return {Style::Walk, 7.0, -30, 0, true};
    case CharacterKind::Cat:
        return {Style::Bob, 3.5, 5.0, 0, false};
    case CharacterKind::Ninja:
        return {Style::Bob, 4.0, 4.0, 0, false};
    case CharacterKind::Ghost:
        return {Style::Walk, 11.0, -24, 0, true};
    case CharacterKind::Astronaut:
        return {Style::Walk, 12.0, -20, 0, true};
    case CharacterKind::Bird:
        return {Style::Walk, 5.0, -26, 6.0, true};
    case CharacterKind::Octopus:
        return {Style::Walk, 10.0, -24, 0, true};
    }
    return forKind(CharacterKind::Monkey);
}

CharacterRoam::Sample CharacterRoam::sample(double t, double halfNotch) const {
    double phase = std::fmod(t / period, 2.0);
    if (phase < 0)
        phase += 2;
    const bool back = phase >= 1;
    const double u = back ? phase - 1 : phase;
    const double eased = u * u * (3 - 2 * u);
    const double s = back ? 1 - eased : eased;

    Sample sample;
    if (style == Style::Bob) {
        sample.y = (2 * s - 1) * reach;
        return sample;
    }
    const double range = std::max(12.0, halfNotch + reach);
    sample.x = (2 * s - 1) * range;
    sample.y = std::sin(s * std::numbers::pi) * hop;
    sample.facing = back && turns ? -1 : 1;
    return sample;
}

} // namespace notchora
