#include "characters/CharacterKind.h"

namespace notchora::characters {

const QList<CharacterKind>& allKinds() {
    static const QList<CharacterKind> kinds{
        CharacterKind::Monkey,    CharacterKind::Cat,  CharacterKind::Ninja,   CharacterKind::Ghost,
        CharacterKind::Astronaut, CharacterKind::Bird, CharacterKind::Octopus,
    };
    return kinds;
}

QString rawValue(CharacterKind kind) {
    switch (kind) {
    case CharacterKind::Monkey:
        return QStringLiteral("monkey");
    case CharacterKind::Cat:
        return QStringLiteral("cat");
    case CharacterKind::Ninja:
        return QStringLiteral("ninja");
    case CharacterKind::Ghost:
        return QStringLiteral("ghost");
    case CharacterKind::Astronaut:
        return QStringLiteral("astronaut");
    case CharacterKind::Bird:
        return QStringLiteral("bird");
    case CharacterKind::Octopus:
        return QStringLiteral("octopus");
    }
    return QStringLiteral("monkey");
}

std::optional<CharacterKind> kindFromRawValue(const QString& raw) {
    for (CharacterKind kind : allKinds())
        if (rawValue(kind) == raw)
            return kind;
    return std::nullopt;
}

QString displayName(CharacterKind kind) {
    switch (kind) {
    case CharacterKind::Monkey:
        return QStringLiteral("Monyet");
    case CharacterKind::Cat:
        return QStringLiteral("Kucing");
    case CharacterKind::Ninja:
        return QStringLiteral("Ninja");
    case CharacterKind::Ghost:
        return QStringLiteral("Hantu");
    case CharacterKind::Astronaut:
        return QStringLiteral("Astronot");
    case CharacterKind::Bird:
        return QStringLiteral("Burung");
    case CharacterKind::Octopus:
        return QStringLiteral("Gurita");
    }
    return {};
}

} // namespace notchora::characters
