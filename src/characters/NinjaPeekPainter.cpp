#include "characters/NinjaPeekPainter.h"

#include "characters/CharacterExpression.h"
#include "characters/CharacterPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace notchora {

namespace {

const QColor red = srgb(0.88, 0.18, 0.20);
const QColor suit = srgb(0.08, 0.09, 0.14);
const QColor skin = srgb(0.96, 0.80, 0.64);
const QColor suitLight = srgb(0.18, 0.20, 0.29);

} // namespace

// A ninja peeking out from behind the notch, hands on its edge, headband tails fluttering.
void NinjaPeekPainter::draw(QPainter& p, const CharacterState& s) {
    using E = CharacterExpression;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // Headband tails streaming behind the head.
    const double flutter = std::sin(6 * s.t);
    p.setPen(QPen(red, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 2; ++i) {
        QPainterPath band;
        band.moveTo(1, -6 + i * 1.2);
        band.cubicTo(-3, -7 + flutter, -5, -3 + i * 2 - flutter, -9, -4 + i * 3 + flutter);
        p.drawPath(band);
    }
    p.setPen(Qt::NoPen);

    // Head: hooded suit with a lighter rim, so it reads against the black notch.
    p.setPen(QPen(suitLight, 1));
    p.setBrush(suit);
    p.drawEllipse(QPointF(10, -1), 10.5, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(suitLight);
    p.drawEllipse(QPointF(6.5, -8), 3.6, 1.8);

    // The open slit of the hood with the eyes.
    p.setBrush(skin);
    p.drawRoundedRect(QRectF(1.5, -5, 17.5, 7), 3.5, 3.5);
    E::cheek(p, QPointF(4.5, 0.5), QSizeF(3, 1.6), red, s);
    E::cheek(p, QPointF(16.5, 0.5), QSizeF(3, 1.6), red, s);
    E::eye(p, QPointF(7, -1.6), QSizeF(2.6, 3), s, suit);
    E::eye(p, QPointF(14, -1.6), QSizeF(2.6, 3), s, suit);
    // Brows: stern while sad, lifted while excited.
    const double lift = s.mood == CharacterMood::Sad ? -1 : E::excitement(s);
    p.setPen(QPen(suit, 1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, -3.6 - lift * 0.6),
               QPointF(8.8, -4.3 + (s.mood == CharacterMood::Sad ? 1.2 : 0)));
    p.drawLine(QPointF(12.2, -4.3 + (s.mood == CharacterMood::Sad ? 1.2 : 0)),
               QPointF(16, -3.6 - lift * 0.6));
    p.setPen(Qt::NoPen);

    // Headband across the brow.
    p.setBrush(red);
    p.drawRoundedRect(QRectF(-0.6, -7.8, 21.2, 2.6), 1.2, 1.2);
    p.setBrush(suitLight);
    p.drawEllipse(QPointF(10.5, -6.5), 1.4, 1.1);

    // The mask's smile shows as a fold of the cloth.
    E::mouth(p, QPointF(10.5, 5.6), 4.4, s, suitLight, 1.2);

    // Hands gripping the edge, or one waving.
    p.setPen(QPen(suitLight, 0.8));
    p.setBrush(suit);
    p.drawEllipse(QPointF(2, 10.6), 3, 2.8);
    QPointF hand(17.5, 10.6);
    switch (E::arm(s)) {
    case E::Arm::Wave:
        hand = QPointF(25 + 1.5 * E::waveSwing(s.t), 3 - std::abs(E::waveSwing(s.t)));
        break;
    case E::Arm::Scratch:
        hand = QPointF(20 + 0.8 * E::scratchRub(s.t), -8.5);
        break;
    case E::Arm::Rest:
        break;
    }
    p.drawEllipse(hand, 3, 2.8);
    p.setBrush(suitLight);
    p.drawEllipse(hand + QPointF(-0.8, -0.9), 1, 0.7);
    p.restore();
}

} // namespace notchora
