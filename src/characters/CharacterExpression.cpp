#include "characters/CharacterExpression.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace notchora {

double CharacterExpression::excitement(const CharacterState& state) {
    const double e = std::max(state.near, 0.0);
    return state.mood == CharacterMood::Happy ? std::max(e, 1.0) : e;
}

double CharacterExpression::cycle(double t, double period) {
    const double r = std::fmod(t, period);
    return r < 0 ? r + period : r;
}

bool CharacterExpression::isBlinking(double t) {
    return cycle(t, blinkPeriod) < blinkLength;
}

CharacterExpression::Arm CharacterExpression::arm(const CharacterState& state) {
    if (excitement(state) > 0.45)
        return Arm::Wave;
    const double c = cycle(state.t, scratchCycle);
    if (state.mood == CharacterMood::Thinking ||
        (c >= scratchStart && c < scratchStart + scratchLength))
        return Arm::Scratch;
    return Arm::Rest;
}

double CharacterExpression::waveSwing(double t) {
    return std::sin(12 * t);
}

double CharacterExpression::scratchRub(double t) {
    return std::sin(28 * t);
}

void CharacterExpression::eye(QPainter& painter, const QPointF& centre, const QSizeF& size,
                              const CharacterState& state, const QColor& ink, const QColor& glint) {
    const double w = size.width(), h = size.height();
    painter.save();
    QPen pen(ink, std::max(0.9, w * 0.32), Qt::SolidLine, Qt::RoundCap);
    if (happyEyes(state)) {
        // ^ ^
        QPainterPath arch;
        arch.moveTo(centre + QPointF(-w * 0.6, h * 0.2));
        arch.quadTo(centre + QPointF(0, -h * 0.75), centre + QPointF(w * 0.6, h * 0.2));
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(arch);
    } else if (isBlinking(state.t)) {
        painter.setPen(pen);
        painter.drawLine(centre + QPointF(-w * 0.55, 0), centre + QPointF(w * 0.55, 0));
    } else {
        const QPointF at = centre + QPointF(0.9 * state.look.x(), 0.7 * state.look.y());
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawEllipse(at, w / 2, h / 2);
        if (glint.alpha() > 0) {
            painter.setBrush(glint);
            painter.drawEllipse(at + QPointF(w * 0.17, -h * 0.2), w * 0.17, w * 0.17);
        }
    }
    painter.restore();
}

void CharacterExpression::cheek(QPainter& painter, const QPointF& centre, const QSizeF& size,
                                const QColor& blush, const CharacterState& state) {
    const double opacity = 0.65 * std::clamp(excitement(state), 0.0, 1.0);
    if (opacity <= 0)
        return;
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(blush);
    painter.drawEllipse(centre, size.width() / 2, size.height() / 2);
    painter.restore();
}

void CharacterExpression::mouth(QPainter& painter, const QPointF& centre, double width,
                                const CharacterState& state, const QColor& ink, double lineWidth) {
    const bool sad = state.mood == CharacterMood::Sad;
    // Wider and rounder the more excited it is.
    const double depth = sad ? -width * 0.35 : width * (0.3 + 0.25 * excitement(state));
    QPainterPath path;
    path.moveTo(centre + QPointF(-width / 2, sad ? depth * 0.3 : 0));
    path.quadTo(centre + QPointF(0, depth), centre + QPointF(width / 2, sad ? depth * 0.3 : 0));
    painter.save();
    painter.setPen(QPen(ink, lineWidth, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.restore();
}

} // namespace notchora
