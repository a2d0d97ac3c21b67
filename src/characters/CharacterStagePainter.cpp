#include "characters/CharacterStagePainter.h"

#include "characters/ActorPainter.h"
#include "characters/CharacterPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace notchora {

namespace {

const QColor suit = srgb(0.08, 0.09, 0.14);
const QColor red = srgb(0.88, 0.18, 0.20);
const QColor skin = srgb(0.96, 0.80, 0.64);
const QColor steel = srgb(0.82, 0.86, 0.92);
const QColor ink = srgb(0.07, 0.06, 0.09);
const QColor sparkYellow = srgb(1.0, 0.82, 0.30);

} // namespace

QPointF CharacterStagePainter::target(const CharacterScene& scene) {
    return {scene.notchX - scene.direction * scene.notchWidth / 2,
            scene.ground() - 22 * scene.scale()};
}

QPointF CharacterStagePainter::hand(const CharacterScene& scene) {
    const double s = scene.scale();
    return {scene.notchX - scene.direction * (scene.notchWidth / 2 + 70) + scene.direction * 9 * s,
            scene.ground() - 28 * s};
}

void CharacterStagePainter::draw(QPainter& painter, const CharacterScene& scene, double t) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = scene.scale();
    const QPointF to = target(scene);
    const QPointF from = hand(scene);
    for (double start : CharacterScene::throwStarts) {
        const double hit = start + CharacterScene::impactDelay;
        if (scene.isNinja()) {
            const double p = (t - hit) / CharacterScene::shurikenFlight;
            if (p >= 0 && p < 1)
                shuriken(painter, from + (to - from) * (0.4 * p + 0.6 * p * p), p * 22, 6 * s);
        }
        const double impact = hit + (scene.isNinja() ? CharacterScene::shurikenFlight : 0);
        const double progress = (t - impact) / sparkLength;
        if (progress >= 0 && progress < 1)
            sparks(painter, to, progress, s);
    }

    painter.translate(scene.ninjaX(t), scene.ground());
    painter.scale(scene.direction < 0 ? -s : s, s);
    const bool running = scene.isRunning(t);
    if (scene.isNinja())
        ninja(painter, t, running, scene.throwProgress(t));
    else
        ActorPainter::draw(painter, scene.kind, t, running, scene.throwProgress(t));
    painter.restore();
}

void CharacterStagePainter::shuriken(QPainter& painter, const QPointF& at, double rotation,
                                     double radius) {
    QPainterPath star;
    for (int i = 0; i < 16; ++i) {
        const double angle = rotation + i * std::numbers::pi / 8;
        const double r = i % 2 ? radius * 0.38 : radius;
        const QPointF point = at + QPointF(std::cos(angle), std::sin(angle)) * r;
        if (i == 0)
            star.moveTo(point);
        else
            star.lineTo(point);
    }
    star.closeSubpath();
    star.addEllipse(at, radius * 0.16, radius * 0.16);
    painter.save();
    painter.setPen(QPen(ink, std::max(0.6, radius * 0.12)));
    painter.setBrush(steel);
    painter.drawPath(star);
    painter.restore();
}

void CharacterStagePainter::sparks(QPainter& painter, const QPointF& at, double progress,
                                   double scale) {
    painter.save();
    painter.setOpacity(painter.opacity() * (1 - progress));
    painter.setPen(QPen(sparkYellow, 1.6 * scale, Qt::SolidLine, Qt::RoundCap));
    const double inner = (3 + 9 * progress) * scale;
    const double outer = inner + (5 - 3 * progress) * scale;
    for (int i = 0; i < 8; ++i) {
        const double angle = i * std::numbers::pi / 4 + 0.3;
        const QPointF dir(std::cos(angle), std::sin(angle));
        painter.drawLine(at + dir * inner, at + dir * outer);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(at, 2.5 * scale * (1 - progress), 2.5 * scale * (1 - progress));
    painter.restore();
}

void CharacterStagePainter::ninja(QPainter& p, double t, bool running,
                                  std::optional<double> throwProgress) {
    p.save();
    p.setPen(Qt::NoPen);
    const double stride = running ? std::sin(14 * t) : 0;
    if (running) {
        p.translate(0, -2.5 * std::abs(stride));
        p.rotate(8);
    }

    // Legs.
    p.setPen(QPen(suit, 4.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-2, -14), QPointF(-2 - 6 * stride, -2.5));
    p.drawLine(QPointF(2, -14), QPointF(2 + 6 * stride, -2.5));
    p.setPen(Qt::NoPen);

    // Scarf tails flying behind.
    const double flutter = std::sin(10 * t);
    p.setPen(QPen(red, 2, Qt::SolidLine, Qt::RoundCap));
    QPainterPath tails;
    tails.moveTo(-6, -36);
    tails.cubicTo(-11, -37 + flutter, -14, -33 - flutter, -19, -35 + 2 * flutter);
    tails.moveTo(-6, -35);
    tails.cubicTo(-10, -33 + flutter, -13, -30 - flutter, -17, -30 + flutter);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tails);
    p.setPen(Qt::NoPen);

    // Body with a red sash, head with the eye slit.
    p.setBrush(suit);
    p.drawRoundedRect(QRectF(-7, -25, 14, 13), 5, 5);
    p.setBrush(red);
    p.drawRect(QRectF(-7, -17.5, 14, 2.2));
    p.setBrush(suit);
    p.drawEllipse(QPointF(0, -33), 9, 9);
    p.setBrush(skin);
    p.drawRoundedRect(QRectF(-2, -36, 10.5, 4.6), 2.3, 2.3);
    p.setBrush(ink);
    p.drawEllipse(QPointF(2, -33.7), 1.1, 1.4);
    p.drawEllipse(QPointF(6, -33.7), 1.1, 1.4);
    p.setBrush(red);
    p.drawRect(QRectF(-8.6, -39.5, 17.2, 2.4));

    // Throwing arm: drawn back during the wind-up, flung forward through the throw.
    const double swing = throwProgress ? std::sin(std::numbers::pi * (*throwProgress - 0.2)) : -0.2;
    const double angle = -2.2 + 2.6 * swing; // radians from pointing right
    const QPointF shoulder(3, -22);
    const QPointF fist = shoulder + QPointF(std::cos(angle), std::sin(angle)) * 9;
    p.setPen(QPen(suit, 3.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(shoulder, fist);
    p.setPen(Qt::NoPen);
    p.setBrush(skin);
    p.drawEllipse(fist, 2, 2);
    if (throwProgress && *throwProgress < 0.5)
        shuriken(p, fist + QPointF(0, -2.5), t * 8, 3);
    p.restore();
}

} // namespace notchora
