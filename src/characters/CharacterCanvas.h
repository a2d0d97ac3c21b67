#pragma once

#include "characters/CharacterKind.h"
#include "characters/CharacterPacer.h"
#include "characters/CharacterReaction.h"

#include <QBasicTimer>
#include <QDateTime>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace notchora {

class Clock;

// One animated character, 64 x 72 with its origin at (32, 28). Repaints itself at most
// 30 times a second and not at all while paused or not visible. A pacer, when set, is
// advanced before every frame and supplies the reaction.
class CharacterCanvas : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(notchora::characterkind::Kind kind READ kind WRITE setKind NOTIFY kindChanged FINAL)
    Q_PROPERTY(double speed READ speed WRITE setSpeed NOTIFY speedChanged FINAL)
    Q_PROPERTY(bool paused READ paused WRITE setPaused NOTIFY pausedChanged FINAL)
    Q_PROPERTY(QVariant reaction READ reactionValue WRITE setReaction NOTIFY reactionChanged FINAL)
    Q_PROPERTY(notchora::CharacterPacer* pacer READ pacer WRITE setPacer NOTIFY pacerChanged FINAL)
    Q_PROPERTY(bool animating READ isAnimating NOTIFY animatingChanged FINAL)
public:
    // A coarse timer may fire 5 % early; this keeps it under 30 frames a second.
    static constexpr int frameIntervalMs = 36;

    explicit CharacterCanvas(QQuickItem* parent = nullptr);

    CharacterKind kind() const { return m_kind; }
    void setKind(CharacterKind kind);
    double speed() const { return m_speed; }
    void setSpeed(double speed);
    bool paused() const { return m_paused; }
    void setPaused(bool paused);
    CharacterReaction reaction() const { return m_reaction; }
    void setReaction(const QVariant& reaction);
    CharacterPacer* pacer() const { return m_pacer; }
    void setPacer(CharacterPacer* pacer);
    bool isAnimating() const { return m_timer.isActive(); }

    // Tests and tools drive the frame clock by hand.
    void setClock(Clock* clock) { m_clock = clock; }
    // The state the next paint draws.
    CharacterState frameState() const;
    // Takes the next frame now, as the timer does.
    void advanceFrame();

    void paint(QPainter* painter) override;

signals:
    void kindChanged();
    void speedChanged();
    void pausedChanged();
    void reactionChanged();
    void pacerChanged();
    void animatingChanged();

protected:
    void timerEvent(QTimerEvent* event) override;
    void itemChange(ItemChange change, const ItemChangeData& value) override;

private:
    QVariant reactionValue() const { return QVariant::fromValue(m_reaction); }
    void updateTimer();
    QDateTime now() const;

    CharacterKind m_kind = CharacterKind::Monkey;
    double m_speed = 1;
    bool m_paused = false;
    CharacterReaction m_reaction;
    QPointer<CharacterPacer> m_pacer;
    QBasicTimer m_timer;
    QDateTime m_frameTime;
    Clock* m_clock = nullptr;
    QMetaObject::Connection m_windowVisibility;
};

} // namespace notchora
