#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace notchora {

namespace characterkind {
Q_NAMESPACE
QML_NAMED_ELEMENT(CharacterKind)

// The companions, in picker order. The raw values are what "characters.selected" stores.
enum class Kind { Monkey, Cat, Ninja, Ghost, Astronaut, Bird, Octopus };
Q_ENUM_NS(Kind)

} // namespace characterkind

using CharacterKind = characterkind::Kind;

namespace characters {

const QList<CharacterKind>& allKinds();
QString rawValue(CharacterKind kind);
// Absent for anything but an exact raw value; callers fall back to the monkey.
std::optional<CharacterKind> kindFromRawValue(const QString& raw);
// The Indonesian name shown in the page header and the picker.
QString displayName(CharacterKind kind);

} // namespace characters

} // namespace notchora
