#pragma once

#include "characters/CharacterKind.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <optional>

class QJSEngine;
class QQmlEngine;

namespace notchora {

class Clock;
class ClockTimer;
class Defaults;

// Decides which character is on show. The choice and the random mode live in the defaults
// store (and follow edits made there from outside); a change of character while one is on
// screen tucks it into the notch for a moment so the swap is never abrupt.
class CharacterDirector : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(notchora::characterkind::Kind current READ current NOTIFY currentChanged FINAL)
    Q_PROPERTY(QString currentName READ currentName NOTIFY currentChanged FINAL)
    Q_PROPERTY(bool isRandom READ isRandom WRITE setRandom NOTIFY isRandomChanged FINAL)
    Q_PROPERTY(bool isTucked READ isTucked NOTIFY isTuckedChanged FINAL)
    // Every kind in picker order, as {kind, raw, name, scale, xShift, yShift}: the last
    // three frame its picker card.
    Q_PROPERTY(QVariantList kinds READ kindValues CONSTANT FINAL)
public:
    static constexpr auto selectedKey = "characters.selected";
    static constexpr auto randomKey = "characters.random";
    static constexpr double tuckDuration = 0.45;
    static constexpr double minRandomWait = 120;
    static constexpr double maxRandomWait = 300;

    CharacterDirector(Defaults& defaults, Clock& clock, QObject* parent = nullptr);

    static CharacterDirector& shared();
    static CharacterDirector* create(QQmlEngine*, QJSEngine*);

    CharacterKind current() const { return m_current; }
    QString currentName() const { return characters::displayName(m_current); }
    bool isRandom() const { return m_isRandom; }
    bool isTucked() const { return m_isTucked; }
    bool isActive() const { return m_isActive; }

    // A view shows the character (or stops showing it).
    Q_INVOKABLE void setActive(bool active);
    Q_INVOKABLE void setRandom(bool on);
    // The user's explicit choice: random mode off, then the switch.
    void select(CharacterKind kind);
    // The picker's choice, by the kind's number in `kinds`.
    Q_INVOKABLE void selectKind(int kind);

signals:
    void currentChanged();
    void isRandomChanged();
    void isTuckedChanged();

private:
    struct Transition {
        CharacterKind kind;
        QPointer<ClockTimer> timer;
    };

    static CharacterKind storedKind(const Defaults& defaults);
    void transition(CharacterKind kind);
    void finishTransition();
    void startRandomLoop();
    void scheduleRotation();
    void rotate();
    void stopRandomLoop();
    void applyCurrent(CharacterKind kind);
    void setTucked(bool tucked);
    void applyRandom(bool on, bool persist);
    void applyExternalChange(const QString& key);
    QVariantList kindValues() const;

    Defaults& m_defaults;
    Clock& m_clock;
    CharacterKind m_current = CharacterKind::Monkey;
    bool m_isRandom = false;
    bool m_isTucked = false;
    bool m_isActive = false;
    QPointer<ClockTimer> m_randomTask;
    std::optional<Transition> m_transition;
};

} // namespace notchora
