#include "characters/AstronautPainter.h"

#include "characters/CharacterExpression.h"
#include "characters/CharacterPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace notchora {

namespace {

const QColor accent = srgb(0.95, 0.35, 0.30);
const QColor gray = srgb(0.68, 0.70, 0.76);
const QColor suit = srgb(0.96, 0.96, 0.98);
const QColor visor = srgb(0.10, 0.14, 0.30);
const QColor eyeGlow = srgb(0.65, 0.92, 1.00);

} // namespace

// A round-helmeted astronaut whose face is two glowing eyes on the dark visor.
void AstronautPainter::draw(QPainter& p, const CharacterState& s) {
    using E = CharacterExpression;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(-2, 0);
    const QPen outline(gray, 1);

    // Backpack, legs and boots.
    p.setPen(outline);
    p.setBrush(gray);
    p.drawRoundedRect(QRectF(-13.5, 22, 6, 13), 2, 2);
    p.setBrush(suit);
    p.drawRoundedRect(QRectF(-7.5, 34, 6, 6), 2, 2);
    p.drawRoundedRect(QRectF(1.5, 34, 6, 6), 2, 2);
    p.setBrush(gray);
    p.drawRoundedRect(QRectF(-8.5, 38.5, 7.5, 3.7), 1.8, 1.8);
    p.drawRoundedRect(QRectF(1, 38.5, 7.5, 3.7), 1.8, 1.8);

    // Suit with the chest panel.
    p.setBrush(suit);
    p.drawRoundedRect(QRectF(-10, 22, 20, 15), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(gray);
    p.drawRoundedRect(QRectF(-4.5, 26.5, 9, 6), 1.5, 1.5);
    p.setBrush(accent);
    p.drawEllipse(QPointF(-1.8, 29.5), 1.2, 1.2);
    p.setBrush(eyeGlow);
    p.drawEllipse(QPointF(1.8, 29.5), 1.2, 1.2);

    // Far arm at rest.
    p.setPen(outline);
    p.setBrush(suit);
    p.drawRoundedRect(QRectF(-13, 24, 4.5, 10), 2.2, 2.2);

    // Helmet, visor and the accent light on its side.
    p.drawEllipse(QPointF(0, 9.5), 13.8, 13.8);
    p.setPen(Qt::NoPen);
    p.setBrush(visor);
    p.drawRoundedRect(QRectF(-9.5, 1.5, 21, 15), 7, 7);
    p.setBrush(QColor(255, 255, 255, 70));
    p.drawEllipse(QPointF(-5.5, 4.5), 2.8, 1.3);
    p.setBrush(accent);
    p.drawEllipse(QPointF(-13.2, 10), 1.8, 2.6);

    E::eye(p, QPointF(-2.5, 9), QSizeF(2.8, 3.6), s, eyeGlow, Qt::transparent);
    E::eye(p, QPointF(5, 9), QSizeF(2.8, 3.6), s, eyeGlow, Qt::transparent);
    E::cheek(p, QPointF(-5.5, 12.5), QSizeF(3, 1.6), accent, s);
    E::cheek(p, QPointF(8, 12.5), QSizeF(3, 1.6), accent, s);
    E::mouth(p, QPointF(1.3, 13.2), 3.6, s, eyeGlow, 0.9);

    // Near arm.
    QPointF hand(11.5, 33);
    switch (E::arm(s)) {
    case E::Arm::Wave:
        hand = QPointF(18 + 2 * E::waveSwing(s.t), 17 - std::abs(E::waveSwing(s.t)));
        break;
    case E::Arm::Scratch:
        hand = QPointF(12 + E::scratchRub(s.t), -1);
        break;
    case E::Arm::Rest:
        break;
    }
    p.setPen(QPen(gray, 5.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 25), hand);
    p.setPen(QPen(suit, 3.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 25), hand);
    p.setPen(outline);
    p.setBrush(gray);
    p.drawEllipse(hand, 2.3, 2.3);
    p.restore();
}

} // namespace notchora
