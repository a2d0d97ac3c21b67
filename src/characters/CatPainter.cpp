#include "characters/CatPainter.h"

#include "characters/CharacterExpression.h"
#include "characters/CharacterPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace notchora {

namespace {

const QColor furDark = srgb(0.78, 0.58, 0.38);
const QColor fur = srgb(0.93, 0.80, 0.62);
const QColor pink = srgb(0.98, 0.62, 0.68);
const QColor eyeGreen = srgb(0.45, 0.90, 0.55);
const QColor ink = srgb(0.10, 0.07, 0.08);

// Green eyes with a slit pupil, or the shared closed and happy shapes.
void catEye(QPainter& p, QPointF centre, const CharacterState& s) {
    using E = CharacterExpression;
    if (E::happyEyes(s) || E::isBlinking(s.t)) {
        E::eye(p, centre, QSizeF(3, 3), s, ink);
        return;
    }
    const QPointF at = centre + QPointF(0.9 * s.look.x(), 0.7 * s.look.y());
    p.setPen(QPen(ink, 0.7));
    p.setBrush(eyeGreen);
    p.drawEllipse(centre, 2.4, 2.8);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(at, 0.8, 2.0);
    p.setBrush(Qt::white);
    p.drawEllipse(at + QPointF(0.6, -1), 0.5, 0.5);
}

} // namespace

// A cat loafing in the side slot, face and paws towards the pointer.
void CatPainter::draw(QPainter& p, const CharacterState& s) {
    using E = CharacterExpression;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // Tail, flicking behind the loaf.
    const double flick = std::sin(2.3 * s.t);
    QPainterPath tail;
    tail.moveTo(20, 9);
    tail.cubicTo(27, 8, 26 + flick, 1, 28 + 1.5 * flick, -3);
    p.setPen(QPen(furDark, 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tail);
    p.setPen(Qt::NoPen);

    // Loaf body.
    p.setBrush(fur);
    p.drawRoundedRect(QRectF(2, 2, 21, 10.5), 5.2, 5.2);
    p.setBrush(furDark);
    p.drawEllipse(QPointF(19, 6), 2.2, 1.2);
    p.drawEllipse(QPointF(20.5, 9), 1.8, 1);

    // Ears.
    for (double side : {-1.0, 1.0}) {
        QPainterPath ear;
        ear.moveTo(12 + side * 2.5, -9.5);
        ear.lineTo(12 + side * 7.8, -13.6);
        ear.lineTo(12 + side * 8.6, -5);
        ear.closeSubpath();
        p.setBrush(fur);
        p.drawPath(ear);
        QPainterPath inner;
        inner.moveTo(12 + side * 4.2, -9.2);
        inner.lineTo(12 + side * 7.4, -11.8);
        inner.lineTo(12 + side * 7.8, -7);
        inner.closeSubpath();
        p.setBrush(pink);
        p.drawPath(inner);
    }

    // Head with tabby stripes.
    p.setBrush(fur);
    p.drawEllipse(QPointF(12, -3), 9.5, 8.2);
    p.setBrush(furDark);
    for (double dx : {-2.2, 0.0, 2.2})
        p.drawRoundedRect(QRectF(12 + dx - 0.6, -11.2 + std::abs(dx) * 0.4, 1.2, 3.2), 0.6, 0.6);

    catEye(p, QPointF(8.4, -3.2), s);
    catEye(p, QPointF(15.8, -3.2), s);
    E::cheek(p, QPointF(5.6, 0.4), QSizeF(3.2, 2), pink, s);
    E::cheek(p, QPointF(18.6, 0.4), QSizeF(3.2, 2), pink, s);

    // Nose, mouth and whiskers.
    QPainterPath nose;
    nose.moveTo(11, -0.4);
    nose.lineTo(13, -0.4);
    nose.lineTo(12, 0.8);
    nose.closeSubpath();
    p.setBrush(pink);
    p.drawPath(nose);
    E::mouth(p, QPointF(10.7, 1.6), 2.6, s, ink, 0.8);
    E::mouth(p, QPointF(13.3, 1.6), 2.6, s, ink, 0.8);
    p.setPen(QPen(ink, 0.5));
    p.setOpacity(p.opacity() * 0.55);
    for (double side : {-1.0, 1.0}) {
        p.drawLine(QPointF(12 + side * 6, 0.2), QPointF(12 + side * 11, -0.8));
        p.drawLine(QPointF(12 + side * 6, 1.2), QPointF(12 + side * 11, 1.8));
    }
    p.setOpacity(p.opacity() / 0.55);
    p.setPen(Qt::NoPen);

    // Front paws: one waves or rubs an ear, the other rests.
    p.setBrush(fur);
    p.setPen(QPen(furDark, 0.6));
    p.drawEllipse(QPointF(8, 11.2), 3, 2.2);
    QPointF paw(16, 11.2);
    switch (E::arm(s)) {
    case E::Arm::Wave:
        paw = QPointF(22.5 + 1.5 * E::waveSwing(s.t), 1 - std::abs(E::waveSwing(s.t)));
        break;
    case E::Arm::Scratch:
        paw = QPointF(19.5 + 0.8 * E::scratchRub(s.t), -7.5);
        break;
    case E::Arm::Rest:
        break;
    }
    p.drawEllipse(paw, 3, 2.2);
    p.restore();
}

} // namespace notchora
