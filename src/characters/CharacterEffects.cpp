#include "characters/CharacterEffects.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace notchora {

namespace {

const QColor heartPink = QColor::fromRgbF(1.0f, 0.45f, 0.62f);
const QColor tearBlue = QColor::fromRgbF(0.45f, 0.75f, 1.0f);
const QColor yellow = QColor::fromRgbF(1.0f, 0.84f, 0.04f);

constexpr double degrees = std::numbers::pi / 180;

void glyph(QPainter& painter, const QString& text, const QColor& color,
           const CharacterEffects::Glyph& g) {
    if (g.opacity <= 0)
        return;
    painter.save();
    painter.setOpacity(painter.opacity() * std::min(g.opacity, 1.0));
    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    painter.setPen(color);
    const QRectF box(g.position - QPointF(6, 6), QSizeF(12, 12));
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}

} // namespace

CharacterEffects::Pose CharacterEffects::pose(const CharacterState& state) {
    Pose pose;
    const double t = state.t;
    if (state.near > 0.05) {
        pose.dy = -1.6 * state.near * std::abs(std::sin(9 * t));
        pose.scaleY = 1 + 0.03 * state.near * std::sin(18 * t);
    }
    switch (state.mood) {
    case CharacterMood::Idle:
        break;
    case CharacterMood::Thinking:
        pose.rotation = 3.5 * degrees * std::sin(1.6 * t);
        break;
    case CharacterMood::Happy: {
        const double age = state.moodAge;
        const double k = std::max(0.0, 1 - age / happyLength);
        pose.dy += -3.5 * k * std::abs(std::sin(8 * age));
        const double c = std::cos(16 * age);
        pose.scaleY += 0.1 * c * k;
        pose.scaleX = 1 - 0.06 * c * k;
        break;
    }
    case CharacterMood::Sad:
        pose.dy += 1.2;
        pose.scaleY = 0.94;
        pose.rotation = -2.5 * degrees;
        break;
    }
    return pose;
}

double CharacterEffects::appearProgress(double moodAge) {
    return std::clamp(moodAge * 4, 0.0, 1.0);
}

CharacterEffects::Glyph CharacterEffects::heart(int i, double moodAge) {
    if (moodAge >= happyLength || moodAge < 0)
        return {};
    double whole = 0;
    const double p = std::modf(0.9 * moodAge + 0.33 * i, &whole);
    const QPointF base(-10 + 10 * i, -4);
    return {base + QPointF(2.5 * std::sin(5 * moodAge + i), -14 * p),
            appearProgress(moodAge) * (1 - p)};
}

CharacterEffects::Glyph CharacterEffects::sparkle(int i, double t, double near) {
    if (near <= 0.55)
        return {};
    return {QPointF(8 + 6 * i, -5 - 5 * i),
            ((near - 0.55) / 0.45) * std::max(0.0, std::sin(3 * t + 2.1 * i))};
}

QRectF CharacterEffects::tearRect(double moodAge) {
    const double phase = std::fmod(std::max(moodAge, 0.0), tearPeriod);
    return QRectF(-4.9, 14.3 + 11 * phase, 2.2, 3.4);
}

double CharacterEffects::tearOpacity(double moodAge) {
    return 1 - std::fmod(std::max(moodAge, 0.0), tearPeriod) / tearPeriod;
}

void CharacterEffects::hearts(QPainter& painter, double moodAge) {
    for (int i = 0; i < 3; ++i)
        glyph(painter, i == 1 ? QStringLiteral("✦") : QStringLiteral("♥"),
              i == 1 ? yellow : heartPink, heart(i, moodAge));
}

void CharacterEffects::sparkle(QPainter& painter, double t, double near) {
    for (int i = 0; i < 2; ++i)
        glyph(painter, QStringLiteral("✦"), yellow, sparkle(i, t, near));
}

void CharacterEffects::tear(QPainter& painter, double moodAge) {
    painter.save();
    painter.setOpacity(painter.opacity() * tearOpacity(moodAge));
    painter.setPen(Qt::NoPen);
    painter.setBrush(tearBlue);
    painter.drawEllipse(tearRect(moodAge));
    painter.restore();
}

void CharacterEffects::thoughtBubble(QPainter& painter, double t, double appear) {
    if (appear <= 0)
        return;
    painter.save();
    // Grows out of the small puffs next to the head.
    const QPointF anchor(9, -3);
    painter.translate(anchor);
    painter.scale(appear, appear);
    painter.translate(-anchor);
    painter.setOpacity(painter.opacity() * appear);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(9.5, -4), 1.5, 1.5);
    painter.drawEllipse(QPointF(12.5, -8), 2.3, 2.3);
    // The cloud's outline is the same every frame; only the dots move.
    static const QPainterPath cloud = [] {
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        path.addEllipse(QPointF(15, -16), 6, 5);
        path.addEllipse(QPointF(21, -18.5), 6.5, 5.5);
        path.addEllipse(QPointF(26, -15), 5, 4.5);
        path.addEllipse(QPointF(20, -13), 7, 4.5);
        return path.simplified();
    }();
    painter.drawPath(cloud);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (int i = 0; i < 3; ++i) {
        const double lift = 1.3 * std::max(0.0, std::sin(5 * t - 1.1 * i));
        painter.drawEllipse(QPointF(15.5 + 5 * i, -15.5 - lift), 1.2, 1.2);
    }
    painter.restore();
}

void CharacterEffects::drawMoodEffect(QPainter& painter, const CharacterState& state) {
    switch (state.mood) {
    case CharacterMood::Sad:
        tear(painter, state.moodAge);
        break;
    case CharacterMood::Happy:
        hearts(painter, state.moodAge);
        break;
    case CharacterMood::Thinking:
        thoughtBubble(painter, state.t, appearProgress(state.moodAge));
        break;
    case CharacterMood::Idle:
        if (state.near > 0.55)
            sparkle(painter, state.t, state.near);
        break;
    }
}

} // namespace notchora
