#include "characters/CharacterCanvas.h"

#include "characters/CharacterFrame.h"
#include "characters/CharacterMetrics.h"
#include "characters/CharacterPacer.h"
#include "platform/Clock.h"

#include <QPainter>
#include <QQuickWindow>

namespace notchora {

CharacterCanvas::CharacterCanvas(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setImplicitSize(CharacterMetrics::canvasWidth, CharacterMetrics::canvasHeight);
    setOpaquePainting(false);
    setAntialiasing(true);
    m_frameTime = now();
}

void CharacterCanvas::setKind(CharacterKind kind) {
    if (kind == m_kind)
        return;
    m_kind = kind;
    emit kindChanged();
    update();
}

void CharacterCanvas::setSpeed(double speed) {
    if (speed == m_speed)
        return;
    m_speed = speed;
    emit speedChanged();
    update();
}

void CharacterCanvas::setPaused(bool paused) {
    if (paused == m_paused)
        return;
    m_paused = paused;
    emit pausedChanged();
    updateTimer();
}

void CharacterCanvas::setReaction(const QVariant& reaction) {
    const auto value = CharacterReaction::fromVariant(reaction);
    if (value == m_reaction)
        return;
    m_reaction = value;
    emit reactionChanged();
    update();
}

void CharacterCanvas::setPacer(CharacterPacer* pacer) {
    if (pacer == m_pacer)
        return;
    m_pacer = pacer;
    emit pacerChanged();
    advanceFrame();
}

QDateTime CharacterCanvas::now() const {
    return (m_clock ? *m_clock : Clock::system()).now();
}

CharacterState CharacterCanvas::frameState() const {
    return CharacterState::at(m_frameTime, m_speed, m_reaction);
}

void CharacterCanvas::advanceFrame() {
    m_frameTime = now();
    if (m_pacer) {
        m_pacer->advance(m_frameTime);
        setReaction(QVariant::fromValue(m_pacer->reaction()));
    }
    update();
}

void CharacterCanvas::paint(QPainter* painter) {
    painter->save();
    // Drawn at 64 x 72 whatever the item's size.
    painter->scale(width() / CharacterMetrics::canvasWidth,
                   height() / CharacterMetrics::canvasHeight);
    painter->translate(CharacterMetrics::originX, CharacterMetrics::originY);
    CharacterFrame::paint(*painter, m_kind, frameState());
    painter->restore();
}

void CharacterCanvas::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer.timerId())
        return QQuickPaintedItem::timerEvent(event);
    advanceFrame();
}

void CharacterCanvas::itemChange(ItemChange change, const ItemChangeData& value) {
    QQuickPaintedItem::itemChange(change, value);
    if (change == ItemSceneChange) {
        disconnect(m_windowVisibility);
        if (value.window)
            m_windowVisibility = connect(value.window, &QWindow::visibleChanged, this,
                                         &CharacterCanvas::updateTimer);
    }
    if (change == ItemVisibleHasChanged || change == ItemSceneChange)
        updateTimer();
}

void CharacterCanvas::updateTimer() {
    const bool run = !m_paused && isVisible() && window() && window()->isVisible();
    if (run == m_timer.isActive())
        return;
    if (run) {
        m_timer.start(frameIntervalMs, Qt::CoarseTimer, this);
        advanceFrame();
    } else {
        m_timer.stop();
    }
    emit animatingChanged();
}

} // namespace notchora
