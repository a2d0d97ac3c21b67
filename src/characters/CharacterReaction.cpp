#include "characters/CharacterReaction.h"

#include <QTimeZone>

namespace notchora {

namespace {

// Long enough that every mood effect has died away.
constexpr double longAgo = 1e9;

} // namespace

CharacterReaction CharacterReaction::fromVariant(const QVariant& value) {
    if (value.canConvert<CharacterReaction>() &&
        value.metaType() == QMetaType::fromType<CharacterReaction>())
        return value.value<CharacterReaction>();
    return {};
}

double CharacterState::referenceSeconds(const QDateTime& date) {
    static const qint64 reference =
        QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
    return double(date.toMSecsSinceEpoch() - reference) / 1000.0;
}

CharacterState CharacterState::at(const QDateTime& now, double speed,
                                  const CharacterReaction& reaction) {
    CharacterState state;
    state.t = referenceSeconds(now) * speed;
    state.look = reaction.look;
    state.near = reaction.near;
    state.mood = reaction.mood;
    state.moodAge =
        reaction.moodSince.isValid() ? double(reaction.moodSince.msecsTo(now)) / 1000.0 : longAgo;
    return state;
}

} // namespace notchora
