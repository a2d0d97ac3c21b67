#pragma once

#include "characters/CharacterMood.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>
#include <optional>

class QJSEngine;
class QQmlEngine;

namespace notchora {

class Clock;
class ClockTimer;

// Holds the character's current mood for everyone who shows it. A mood set with a duration
// falls back to idle on its own; any later call replaces that pending return.
class CharacterMoodCenter : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(notchora::charactermood::Mood mood READ mood NOTIFY moodChanged FINAL)
    Q_PROPERTY(QDateTime since READ since NOTIFY sinceChanged FINAL)
public:
    explicit CharacterMoodCenter(Clock& clock, QObject* parent = nullptr);

    static CharacterMoodCenter& shared();
    static CharacterMoodCenter* create(QQmlEngine*, QJSEngine*);

    CharacterMood mood() const { return m_mood; }
    // When the mood was last set, even to the same mood: restarts its effect.
    QDateTime since() const { return m_since; }

    // With a duration (seconds), the mood returns to idle that long after this call.
    void set(CharacterMood mood, std::optional<double> duration = std::nullopt);

    bool hasPendingReset() const;

signals:
    void moodChanged();
    void sinceChanged();

private:
    void apply(CharacterMood mood);
    void cancelReset();

    Clock& m_clock;
    CharacterMood m_mood = CharacterMood::Idle;
    QDateTime m_since;
    QPointer<ClockTimer> m_resetTask;
};

} // namespace notchora
