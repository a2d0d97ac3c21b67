#include "characters/MonkeyPainter.h"

#include "characters/CharacterExpression.h"
#include "characters/CharacterPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace notchora {

namespace {

const QColor fur = srgb(0.55, 0.36, 0.20);
const QColor skin = srgb(0.94, 0.80, 0.62);
const QColor ink = srgb(0.10, 0.07, 0.05);
const QColor blush = srgb(1.00, 0.55, 0.62);

void limb(QPainter& p, QPointF from, QPointF to, QColor color, double width) {
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    p.setPen(Qt::NoPen);
}

} // namespace

void MonkeyPainter::draw(QPainter& p, const CharacterState& s) {
    using E = CharacterExpression;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(2, 0);
    p.setPen(Qt::NoPen);

    // Tail, curling behind the body and swaying slowly.
    const double sway = std::sin(1.8 * s.t);
    QPainterPath tail;
    tail.moveTo(-7, 36);
    tail.cubicTo(-16, 38, -21, 32 + sway, -19, 25 + sway);
    tail.cubicTo(-18, 21 + sway, -13, 21 + sway, -14, 25 + sway);
    p.setPen(QPen(fur, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tail);
    p.setPen(Qt::NoPen);

    // Body, belly and feet.
    p.setBrush(fur);
    p.drawEllipse(QPointF(0, 31), 10.5, 10);
    p.setBrush(skin);
    p.drawEllipse(QPointF(0.8, 32.5), 6.5, 6.8);
    p.drawEllipse(QPointF(-5.5, 39.3), 4, 2.3);
    p.drawEllipse(QPointF(5.5, 39.3), 4, 2.3);

    // Resting arm on the far side.
    limb(p, QPointF(-8, 26), QPointF(-9.5, 33), fur, 3.6);
    p.setBrush(skin);
    p.drawEllipse(QPointF(-9.5, 34), 2.2, 2.2);

    // Ears, head and face.
    for (double side : {-1.0, 1.0}) {
        p.setBrush(fur);
        p.drawEllipse(QPointF(side * 12.5, 10), 4.8, 4.8);
        p.setBrush(skin);
        p.drawEllipse(QPointF(side * 12.5, 10), 2.8, 2.8);
    }
    p.setBrush(fur);
    p.drawEllipse(QPointF(0, 10), 12, 12);
    // The face: three overlapping shapes of one colour.
    p.setBrush(skin);
    p.drawEllipse(QPointF(-4.3, 9.6), 5, 5.2);
    p.drawEllipse(QPointF(4.3, 9.6), 5, 5.2);
    p.drawEllipse(QPointF(0.5, 15.6), 8.6, 5.6);

    E::eye(p, QPointF(-4.2, 10), QSizeF(2.9, 3.6), s, ink);
    E::eye(p, QPointF(4.6, 10), QSizeF(2.9, 3.6), s, ink);
    E::cheek(p, QPointF(-6.8, 15), QSizeF(4, 2.6), blush, s);
    E::cheek(p, QPointF(7.6, 15), QSizeF(4, 2.6), blush, s);
    p.setBrush(ink);
    p.drawEllipse(QPointF(-0.6, 13.6), 0.7, 0.55);
    p.drawEllipse(QPointF(1.8, 13.6), 0.7, 0.55);
    E::mouth(p, QPointF(0.6, 17.2), 5, s, ink);

    // The near arm: waving, scratching its head or resting on its knee.
    const QPointF shoulder(8, 26);
    QPointF hand(9.5, 34);
    switch (E::arm(s)) {
    case E::Arm::Wave:
        hand = QPointF(16 + 2.5 * E::waveSwing(s.t), 15 - std::abs(E::waveSwing(s.t)));
        break;
    case E::Arm::Scratch:
        hand = QPointF(9 + 1.2 * E::scratchRub(s.t), 1.5);
        break;
    case E::Arm::Rest:
        break;
    }
    QPainterPath arm;
    arm.moveTo(shoulder);
    arm.quadTo(QPointF(shoulder.x() + 6, (shoulder.y() + hand.y()) / 2), hand);
    p.setPen(QPen(fur, 3.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(arm);
    p.setPen(Qt::NoPen);
    p.setBrush(skin);
    p.drawEllipse(hand, 2.3, 2.3);
    p.restore();
}

} // namespace notchora
