#include "characters/CharacterMoodCenter.h"

#include "platform/Clock.h"

#include <QQmlEngine>

namespace notchora {

CharacterMoodCenter::CharacterMoodCenter(Clock& clock, QObject* parent)
    : QObject(parent), m_clock(clock), m_since(clock.now()) {}

CharacterMoodCenter& CharacterMoodCenter::shared() {
    static CharacterMoodCenter center(Clock::system());
    return center;
}

CharacterMoodCenter* CharacterMoodCenter::create(QQmlEngine*, QJSEngine*) {
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

void CharacterMoodCenter::set(CharacterMood mood, std::optional<double> duration) {
    cancelReset();
    apply(mood);
    if (!duration)
        return;
    // The timer is our child, so it cannot outlive the centre.
    m_resetTask = m_clock.schedule(*duration, this, [this] {
        m_resetTask.clear();
        apply(CharacterMood::Idle);
    });
}

bool CharacterMoodCenter::hasPendingReset() const {
    return m_resetTask && m_resetTask->isActive();
}

void CharacterMoodCenter::apply(CharacterMood mood) {
    if (mood != m_mood) {
        m_mood = mood;
        emit moodChanged();
    }
    m_since = m_clock.now();
    emit sinceChanged();
}

void CharacterMoodCenter::cancelReset() {
    if (m_resetTask) {
        m_resetTask->cancel();
        m_resetTask->deleteLater();
        m_resetTask.clear();
    }
}

} // namespace notchora
