#include "characters/BirdPainter.h"

#include "characters/CharacterExpression.h"
#include "characters/CharacterPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace notchora {

namespace {

const QColor blueDark = srgb(0.22, 0.44, 0.80);
const QColor orange = srgb(1.00, 0.62, 0.20);
const QColor blue = srgb(0.33, 0.62, 0.95);
const QColor belly = srgb(0.98, 0.92, 0.80);
const QColor ink = srgb(0.08, 0.08, 0.12);
const QColor blush = srgb(1.00, 0.55, 0.62);

// A wing hinged at `root`, opened by `lift` (0 folded, 1 raised).
void wing(QPainter& p, QPointF root, double side, double lift) {
    p.save();
    p.translate(root);
    p.rotate(side * (-10 - 70 * lift));
    QPainterPath path;
    path.moveTo(0, -2.5);
    path.cubicTo(side * 7, -2, side * 9, 4, side * 7, 8);
    path.cubicTo(side * 4, 6, side * 1, 4, 0, 2.5);
    path.closeSubpath();
    p.setBrush(blueDark);
    p.drawPath(path);
    p.restore();
}

} // namespace

// A round little bird, wings beating, with a crest and a short orange beak.
void BirdPainter::draw(QPainter& p, const CharacterState& s) {
    using E = CharacterExpression;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.translate(-1, 0);

    // Feet.
    p.setPen(QPen(orange, 1.2, Qt::SolidLine, Qt::RoundCap));
    for (double x : {-3.0, 3.0}) {
        p.drawLine(QPointF(x, -2), QPointF(x, 3));
        p.drawLine(QPointF(x, 3), QPointF(x + 1.8, 4.2));
        p.drawLine(QPointF(x, 3), QPointF(x - 1.6, 4.2));
    }
    p.setPen(Qt::NoPen);

    // Tail feathers.
    QPainterPath tail;
    tail.moveTo(-10, -9);
    tail.lineTo(-17, -13);
    tail.lineTo(-16, -8);
    tail.lineTo(-18, -5);
    tail.lineTo(-10, -4);
    tail.closeSubpath();
    p.setBrush(blueDark);
    p.drawPath(tail);

    // Crest.
    for (int i = 0; i < 3; ++i) {
        QPainterPath feather;
        const double x = -2 + i * 2.6;
        feather.moveTo(x - 1.2, -25);
        feather.quadTo(x - 1 + i * 0.6, -29.5 + (i == 1 ? 0 : 1.2), x + 1.8,
                       -28.5 + (i == 1 ? 0 : 1.4));
        feather.quadTo(x + 1.2, -26, x + 1.2, -24.5);
        feather.closeSubpath();
        p.drawPath(feather);
    }

    // Body and belly.
    p.setBrush(blue);
    p.drawEllipse(QPointF(0, -13), 12.5, 12);
    p.setBrush(belly);
    p.drawEllipse(QPointF(1.5, -7.5), 8, 6.2);

    // Far wing flaps; the near one flaps too, or waves or scratches.
    const double flap = 0.5 + 0.5 * std::sin(14 * s.t);
    wing(p, QPointF(-10, -12), -1, flap * 0.6);
    double nearLift = flap * 0.6;
    switch (E::arm(s)) {
    case E::Arm::Wave:
        nearLift = 0.9 + 0.1 * E::waveSwing(s.t);
        break;
    case E::Arm::Scratch:
        nearLift = 1.05 + 0.08 * E::scratchRub(s.t);
        break;
    case E::Arm::Rest:
        break;
    }
    wing(p, QPointF(10.5, -12), 1, nearLift);

    E::eye(p, QPointF(-2.5, -16), QSizeF(2.8, 3.4), s, ink);
    E::eye(p, QPointF(6, -16), QSizeF(2.8, 3.4), s, ink);
    E::cheek(p, QPointF(-5, -11.5), QSizeF(3.4, 2), blush, s);
    E::cheek(p, QPointF(9.5, -11.5), QSizeF(3.4, 2), blush, s);

    // Beak: opens into a smile, or droops while sad.
    const bool sad = s.mood == CharacterMood::Sad;
    const double open = sad ? 0 : 1.4 * E::excitement(s);
    QPainterPath upper;
    upper.moveTo(0.2, -12.8);
    upper.quadTo(2, -14.6, 5.2, -12.8);
    upper.lineTo(2.7, sad ? -9.6 : -10.8);
    upper.closeSubpath();
    p.setBrush(orange);
    p.drawPath(upper);
    if (open > 0.2) {
        QPainterPath lower;
        lower.moveTo(0.8, -11.8 + open * 0.3);
        lower.lineTo(4.6, -11.8 + open * 0.3);
        lower.lineTo(2.7, -9.8 + open);
        lower.closeSubpath();
        p.drawPath(lower);
    }
    p.restore();
}

} // namespace notchora
