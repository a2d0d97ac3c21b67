#include "characters/OctopusPainter.h"

#include "characters/CharacterExpression.h"
#include "characters/CharacterPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace notchora {

namespace {

const QColor bubble = srgb(0.75, 0.92, 1.00);
const QColor body = srgb(0.78, 0.45, 0.88);
const QColor spot = srgb(0.88, 0.62, 0.95);
const QColor ink = srgb(0.14, 0.08, 0.20);
const QColor blush = srgb(1.00, 0.62, 0.78);

// One curling tentacle from `root`, swaying with `phase`.
void tentacle(QPainter& p, QPointF root, double side, double phase, double length) {
    const double sway = 2.2 * std::sin(phase);
    QPainterPath path;
    path.moveTo(root);
    path.cubicTo(root + QPointF(side * 2 + sway, length * 0.45),
                 root + QPointF(side * 5 - sway, length * 0.8),
                 root + QPointF(side * 7 + sway * 0.6, length * 0.78));
    p.drawPath(path);
}

} // namespace

// A round octopus on its tentacles, blowing a bubble now and then.
void OctopusPainter::draw(QPainter& p, const CharacterState& s) {
    using E = CharacterExpression;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(2, 0);

    // Tentacles behind and in front of the mantle.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(body, 4, Qt::SolidLine, Qt::RoundCap));
    const double xs[] = {-10, -5, 0, 5, 10};
    for (int i = 0; i < 5; ++i) {
        const double side = i < 2 ? -1 : (i == 2 ? 0.4 : 1);
        tentacle(p, QPointF(xs[i], 26), side, 3 * s.t + i * 1.4, 17);
    }

    // Mantle with spots and a shine.
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawEllipse(QPointF(0, 13.5), 16, 16.5);
    p.setBrush(spot);
    p.drawEllipse(QPointF(-8, 3), 2.6, 2.2);
    p.drawEllipse(QPointF(-3, -0.5), 1.8, 1.5);
    p.drawEllipse(QPointF(8.5, 5), 2, 1.8);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawEllipse(QPointF(-5, 1), 4, 2);

    // Big eyes with whites.
    for (double x : {-5.5, 6.0}) {
        p.setBrush(Qt::white);
        if (!E::happyEyes(s) && !E::isBlinking(s.t))
            p.drawEllipse(QPointF(x, 14), 3.6, 4);
        E::eye(p, QPointF(x, 14.4), QSizeF(3, 3.6), s, ink);
    }
    E::cheek(p, QPointF(-9.5, 19.5), QSizeF(4, 2.4), blush, s);
    E::cheek(p, QPointF(10.5, 19.5), QSizeF(4, 2.4), blush, s);
    E::mouth(p, QPointF(0.5, 20.5), 4.6, s, ink);

    // The near front tentacle waves or scratches the head.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(body, 4, Qt::SolidLine, Qt::RoundCap));
    switch (E::arm(s)) {
    case E::Arm::Wave: {
        const double swing = E::waveSwing(s.t);
        QPainterPath arm;
        arm.moveTo(13, 22);
        arm.quadTo(21, 20, 21 + 2 * swing, 10 - std::abs(swing));
        p.drawPath(arm);
        break;
    }
    case E::Arm::Scratch: {
        QPainterPath arm;
        arm.moveTo(14, 20);
        arm.quadTo(22, 8, 13 + E::scratchRub(s.t), 1.5);
        p.drawPath(arm);
        break;
    }
    case E::Arm::Rest:
        break;
    }

    // A bubble drifting up beside the head every few seconds.
    const double rise = E::cycle(s.t, 4.5) / 4.5;
    p.setOpacity(p.opacity() * (1 - rise));
    p.setPen(QPen(bubble, 0.9));
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawEllipse(QPointF(19 + std::sin(6 * rise), 14 - 14 * rise), 1.4 + rise, 1.4 + rise);
    p.restore();
}

} // namespace notchora
