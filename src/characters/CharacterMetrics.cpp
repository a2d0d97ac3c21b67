#include "characters/CharacterMetrics.h"

namespace notchora {

CharacterMetrics CharacterMetrics::forKind(CharacterKind kind) {
    using P = Placement;
    switch (kind) {
    case CharacterKind::Monkey:
        return {-2, 42, P::Roaming, 14, 1.05, 12, 3};
    case CharacterKind::Cat:
        return {-14, 14, P::Slot, 0, 1.15, -8, 12};
    case CharacterKind::Ninja:
        return {-14, 14, P::Slot, 0, 1.2, -8, 10};
    case CharacterKind::Ghost:
        return {-8, 42, P::Roaming, 12, 1.4, 6, -7};
    case CharacterKind::Astronaut:
        return {-5, 43, P::Roaming, 9, 1.05, 11, -2};
    case CharacterKind::Bird:
        return {-29, 5, P::Roaming, -18, 1.2, -20, -1};
    case CharacterKind::Octopus:
        return {-4, 42, P::Roaming, 13, 1.1, 11, 3};
    }
    return forKind(CharacterKind::Monkey);
}

} // namespace notchora
