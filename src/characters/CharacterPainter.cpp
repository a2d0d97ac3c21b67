#include "characters/CharacterPainter.h"

#include "characters/AstronautPainter.h"
#include "characters/BirdPainter.h"
#include "characters/CatPainter.h"
#include "characters/GhostPainter.h"
#include "characters/MonkeyPainter.h"
#include "characters/NinjaPeekPainter.h"
#include "characters/OctopusPainter.h"

namespace notchora {

void CharacterPainter::draw(QPainter& painter, const CharacterState& state) const {
    if (body)
        body(painter, state);
    if (speech)
        speech(painter, state);
}

CharacterPainter CharacterPainter::forKind(CharacterKind kind) {
    switch (kind) {
    case CharacterKind::Monkey:
        return {&MonkeyPainter::draw};
    case CharacterKind::Cat:
        return {&CatPainter::draw};
    case CharacterKind::Ninja:
        return {&NinjaPeekPainter::draw};
    case CharacterKind::Ghost:
        return {&GhostPainter::draw, &GhostPainter::drawBoo};
    case CharacterKind::Astronaut:
        return {&AstronautPainter::draw};
    case CharacterKind::Bird:
        return {&BirdPainter::draw};
    case CharacterKind::Octopus:
        return {&OctopusPainter::draw};
    }
    return {&MonkeyPainter::draw};
}

} // namespace notchora
