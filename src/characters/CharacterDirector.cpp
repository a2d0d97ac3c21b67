#include "characters/CharacterDirector.h"

#include "characters/CharacterLog.h"
#include "characters/CharacterMetrics.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"

#include <QQmlEngine>
#include <QRandomGenerator>

namespace notchora {

namespace {

void cancel(QPointer<ClockTimer>& timer) {
    if (timer) {
        timer->cancel();
        timer->deleteLater();
    }
    timer.clear();
}

} // namespace

CharacterDirector::CharacterDirector(Defaults& defaults, Clock& clock, QObject* parent)
    : QObject(parent), m_defaults(defaults), m_clock(clock), m_current(storedKind(defaults)),
      m_isRandom(defaults.boolValue(QLatin1String(randomKey), false)) {
    connect(&m_defaults, &Defaults::changed, this, &CharacterDirector::applyExternalChange);
}

CharacterDirector& CharacterDirector::shared() {
    static CharacterDirector director(Defaults::shared(), Clock::system());
    return director;
}

CharacterDirector* CharacterDirector::create(QQmlEngine*, QJSEngine*) {
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

CharacterKind CharacterDirector::storedKind(const Defaults& defaults) {
    const auto raw = defaults.stringValue(QLatin1String(selectedKey));
    return characters::kindFromRawValue(raw.value_or(QString())).value_or(CharacterKind::Monkey);
}

void CharacterDirector::setActive(bool active) {
    if (active == m_isActive)
        return;
    m_isActive = active;
    if (active) {
        if (m_isRandom)
            startRandomLoop();
        return;
    }
    stopRandomLoop();
    // Nothing is on screen to hide any more: the pending switch happens at once.
    finishTransition();
}

void CharacterDirector::setRandom(bool on) {
    applyRandom(on, true);
}

void CharacterDirector::applyRandom(bool on, bool persist) {
    if (on == m_isRandom)
        return;
    m_isRandom = on;
    if (persist && !m_defaults.setBool(QLatin1String(randomKey), on))
        qCWarning(lcCharacters) << "could not store" << randomKey;
    emit isRandomChanged();
    if (on && m_isActive)
        startRandomLoop();
    else if (!on)
        stopRandomLoop();
}

void CharacterDirector::select(CharacterKind kind) {
    setRandom(false);
    transition(kind);
}

void CharacterDirector::transition(CharacterKind kind) {
    if (kind == m_current && !m_transition)
        return;
    if (!m_isActive) {
        applyCurrent(kind);
        return;
    }
    if (m_transition && m_transition->kind == kind)
        return;
    // A switch that is still tucked completes now, out of sight, and the new one takes over
    // the same tuck.
    if (m_transition) {
        const CharacterKind replaced = m_transition->kind;
        cancel(m_transition->timer);
        m_transition.reset();
        applyCurrent(replaced);
    }
    setTucked(true);
    m_transition =
        Transition{kind, m_clock.schedule(tuckDuration, this, [this] { finishTransition(); })};
}

void CharacterDirector::finishTransition() {
    if (!m_transition)
        return;
    const CharacterKind kind = m_transition->kind;
    cancel(m_transition->timer);
    m_transition.reset();
    applyCurrent(kind);
    setTucked(false);
}

void CharacterDirector::applyCurrent(CharacterKind kind) {
    const bool changed = kind != m_current;
    m_current = kind;
    // Written on every switch, so a stored value we could not read is replaced now.
    if (!m_defaults.setString(QLatin1String(selectedKey), characters::rawValue(kind)))
        qCWarning(lcCharacters) << "could not store" << selectedKey;
    if (changed)
        emit currentChanged();
}

void CharacterDirector::setTucked(bool tucked) {
    if (tucked == m_isTucked)
        return;
    m_isTucked = tucked;
    emit isTuckedChanged();
}

void CharacterDirector::startRandomLoop() {
    stopRandomLoop();
    scheduleRotation();
}

void CharacterDirector::scheduleRotation() {
    const double wait = minRandomWait + QRandomGenerator::global()->generateDouble() *
                                            (maxRandomWait - minRandomWait);
    m_randomTask = m_clock.schedule(wait, this, [this] { rotate(); });
}

void CharacterDirector::rotate() {
    m_randomTask.clear();
    QList<CharacterKind> candidates;
    for (CharacterKind kind : characters::allKinds())
        if (kind != m_current)
            candidates << kind;
    const CharacterKind pick =
        candidates.isEmpty()
            ? CharacterKind::Monkey
            : candidates.at(int(QRandomGenerator::global()->bounded(qsizetype(candidates.size()))));
    scheduleRotation();
    transition(pick);
}

void CharacterDirector::stopRandomLoop() {
    cancel(m_randomTask);
}

void CharacterDirector::applyExternalChange(const QString& key) {
    if (key == QLatin1String(selectedKey)) {
        const CharacterKind stored = storedKind(m_defaults);
        const CharacterKind target = m_transition ? m_transition->kind : m_current;
        if (stored != target)
            transition(stored);
    } else if (key == QLatin1String(randomKey)) {
        applyRandom(m_defaults.boolValue(QLatin1String(randomKey), false), false);
    }
}

void CharacterDirector::selectKind(int kind) {
    const auto& kinds = characters::allKinds();
    if (kind >= 0 && kind < kinds.size())
        select(kinds.at(kind));
}

QVariantList CharacterDirector::kindValues() const {
    QVariantList list;
    for (CharacterKind kind : characters::allKinds()) {
        const auto metrics = CharacterMetrics::forKind(kind);
        list << QVariantMap{{QStringLiteral("kind"), int(kind)},
                            {QStringLiteral("raw"), characters::rawValue(kind)},
                            {QStringLiteral("name"), characters::displayName(kind)},
                            {QStringLiteral("scale"), metrics.previewScale},
                            {QStringLiteral("xShift"), metrics.previewXShift},
                            {QStringLiteral("yShift"), metrics.previewYShift}};
    }
    return list;
}

} // namespace notchora
