#pragma once

#include "characters/CharacterReaction.h"

#include <QColor>
#include <QPointF>

class QPainter;

namespace notchora {

// How every character turns a frame into a face: the shared rules for excitement, eyes,
// blinking, cheeks, the arm and the mouth. Painters supply the shapes and colours.
class CharacterExpression {
public:
    enum class Arm { Rest, Wave, Scratch };

    static constexpr double blinkPeriod = 3.7;
    static constexpr double blinkLength = 0.14;
    static constexpr double scratchCycle = 9;
    static constexpr double scratchStart = 6;
    static constexpr double scratchLength = 1.6;

    // The pointer's closeness, raised to full while happy.
    static double excitement(const CharacterState& state);
    static bool happyEyes(const CharacterState& state) { return excitement(state) > 0.5; }
    static bool isBlinking(double t);
    static Arm arm(const CharacterState& state);
    // -1..1: the waving arm's swing and the scratching hand's rub.
    static double waveSwing(double t);
    static double scratchRub(double t);
    // The part of `t` inside a repeating `period`, never negative.
    static double cycle(double t, double period);

    // One eye centred at `centre`: happy arch, closed line or an open ellipse `size` wide
    // that follows the pointer. A `glint` colour adds the small highlight.
    static void eye(QPainter& painter, const QPointF& centre, const QSizeF& size,
                    const CharacterState& state, const QColor& ink,
                    const QColor& glint = Qt::white);
    static void cheek(QPainter& painter, const QPointF& centre, const QSizeF& size,
                      const QColor& blush, const CharacterState& state);
    // A smile `width` wide, a frown while sad.
    static void mouth(QPainter& painter, const QPointF& centre, double width,
                      const CharacterState& state, const QColor& ink, double lineWidth = 1.1);
};

} // namespace notchora
