#pragma once

#include "characters/CharacterMood.h"

#include <QDateTime>
#include <QObject>
#include <QPointF>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// What the character should express right now: where the pointer is (`look`, length 0..1,
// x already mirrored for a character facing left), how close it is (`near`, 0..1) and the
// mood with the moment it began.
struct CharacterReaction {
    Q_GADGET
    QML_VALUE_TYPE(characterReaction)
    Q_PROPERTY(QPointF look MEMBER look FINAL)
    Q_PROPERTY(double near MEMBER near FINAL)
    Q_PROPERTY(notchora::charactermood::Mood mood MEMBER mood FINAL)
    Q_PROPERTY(QDateTime moodSince MEMBER moodSince FINAL)
public:
    QPointF look;
    double near = 0;
    CharacterMood mood = CharacterMood::Idle;
    // Invalid means "long ago": no mood effect is still running.
    QDateTime moodSince;

    // An empty or foreign variant gives the resting reaction.
    static CharacterReaction fromVariant(const QVariant& value);

    bool operator==(const CharacterReaction&) const = default;
};

// One frame of one character, as its painter receives it.
struct CharacterState {
    // Animation clock: wall seconds since the reference date times the animation speed.
    double t = 0;
    QPointF look;
    double near = 0;
    CharacterMood mood = CharacterMood::Idle;
    // Seconds since the mood began.
    double moodAge = 0;

    // The frame at wall time `now`. A reaction without a start counts as begun long ago.
    static CharacterState at(const QDateTime& now, double speed, const CharacterReaction& reaction);
    // Seconds between the reference date (2001-01-01 UTC) and `date`.
    static double referenceSeconds(const QDateTime& date);

    bool operator==(const CharacterState&) const = default;
};

} // namespace notchora

Q_DECLARE_METATYPE(notchora::CharacterReaction)
