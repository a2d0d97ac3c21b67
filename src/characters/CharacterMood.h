#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace notchora {

namespace charactermood {
Q_NAMESPACE
QML_NAMED_ELEMENT(CharacterMood)

// What the character is feeling; set by the assistant, never stored.
enum class Mood { Idle, Thinking, Happy, Sad };
Q_ENUM_NS(Mood)

} // namespace charactermood

using CharacterMood = charactermood::Mood;

} // namespace notchora
