#include "characters/GhostPainter.h"

#include "characters/CharacterExpression.h"
#include "characters/CharacterPainter.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace notchora {

namespace {

const QColor sheet = srgb(0.95, 0.96, 1.00);
const QColor ink = srgb(0.12, 0.10, 0.20);
const QColor blush = srgb(1.00, 0.65, 0.75);

constexpr double booCycle = 9;
constexpr double booStart = 6.0;
constexpr double booEnd = 8.4;
constexpr double fadeIn = 0.25;
constexpr double fadeOut = 0.3;
constexpr double centreX = -5;

} // namespace

double GhostPainter::booOpacity(const CharacterState& s) {
    const double c = CharacterExpression::cycle(s.t, booCycle);
    double timed = 0;
    if (c >= booStart && c < booEnd)
        timed = std::min({1.0, (c - booStart) / fadeIn, (booEnd - c) / fadeOut});
    double close = 0;
    if (s.mood == CharacterMood::Idle)
        close = std::clamp((s.near - 0.55) / 0.2, 0.0, 1.0);
    return std::max(timed, close);
}

// A floating sheet with a wavy hem; the little arms stick out at the sides.
void GhostPainter::draw(QPainter& p, const CharacterState& s) {
    using E = CharacterExpression;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(centreX, 0);

    // Sheet: a dome over straight sides and a hem of four scallops that ripple.
    const double w = 15.5;
    QPainterPath body;
    body.moveTo(-w, 8);
    body.arcTo(QRectF(-w, -7.5, 2 * w, 31), 180, -180);
    body.lineTo(w, 33);
    const int scallops = 4;
    const double step = 2 * w / scallops;
    for (int i = 0; i < scallops; ++i) {
        const double x0 = w - i * step;
        const double ripple = 1.6 * std::sin(3 * s.t + i * 1.3);
        body.quadTo(QPointF(x0 - step / 2, 46.5 + ripple),
                    QPointF(x0 - step, 33.5 + 0.8 * (i % 2)));
    }
    body.closeSubpath();
    // Filled only: stroking the rippling hem every frame costs more than the rest.
    p.setPen(Qt::NoPen);
    p.setBrush(sheet);
    p.drawPath(body);

    // Arms.
    QPointF near(w + 2.5, 22);
    switch (E::arm(s)) {
    case E::Arm::Wave:
        near = QPointF(w + 4 + 1.5 * E::waveSwing(s.t), 10 - 1.5 * std::abs(E::waveSwing(s.t)));
        break;
    case E::Arm::Scratch:
        near = QPointF(w - 2 + 0.8 * E::scratchRub(s.t), -2.5);
        break;
    case E::Arm::Rest:
        break;
    }
    p.drawEllipse(QPointF(-w - 2.5, 22), 3.6, 2.6);
    p.drawEllipse(near, 3.6, 2.6);

    // Face, a little to the right where it is heading.
    p.setPen(Qt::NoPen);
    E::eye(p, QPointF(-3, 9), QSizeF(3.6, 4.8), s, ink);
    E::eye(p, QPointF(6, 9), QSizeF(3.6, 4.8), s, ink);
    E::cheek(p, QPointF(-6.5, 14.5), QSizeF(4.4, 2.6), blush, s);
    E::cheek(p, QPointF(9.5, 14.5), QSizeF(4.4, 2.6), blush, s);
    if (s.mood == CharacterMood::Idle && !E::happyEyes(s) && booOpacity(s) > 0) {
        // Saying "boo!" with a round mouth.
        p.setBrush(ink);
        p.drawEllipse(QPointF(1.5, 16.5), 2, 2.4);
    } else {
        E::mouth(p, QPointF(1.5, 15.5), 5, s, ink);
    }
    p.restore();
}

void GhostPainter::drawBoo(QPainter& p, const CharacterState& s) {
    const double opacity = booOpacity(s);
    if (opacity <= 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(p.opacity() * opacity);
    const QRectF bubble(5, -13, 27, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(bubble, 7, 7);
    QPainterPath tip;
    tip.moveTo(9, 0);
    tip.lineTo(7, 4);
    tip.lineTo(13, 0.5);
    p.drawPath(tip);
    QFont font = p.font();
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(bubble, Qt::AlignCenter, QStringLiteral("boo!"));
    p.restore();
}

} // namespace notchora
