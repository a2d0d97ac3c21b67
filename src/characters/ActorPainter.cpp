#include "characters/ActorPainter.h"

#include "characters/CharacterMetrics.h"
#include "characters/CharacterPainter.h"
#include "characters/CharacterReaction.h"

#include <QPainter>
#include <cmath>
#include <numbers>

namespace notchora {

void ActorPainter::draw(QPainter& painter, CharacterKind kind, double t, bool running,
                        std::optional<double> throwProgress) {
    const auto metrics = CharacterMetrics::forKind(kind);
    const double fit = height / (metrics.bottom - metrics.top);

    // Looking ahead at the notch; eager (waving arm, happy eyes) while striking.
    CharacterState state;
    state.t = t;
    state.look = {1, 0};
    state.near = throwProgress ? 1 : 0.3;
    state.mood = CharacterMood::Idle;
    state.moodAge = 100;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (running) {
        // Bounding strides, leaning into the run.
        painter.translate(0, -3 * std::abs(std::sin(12 * t)));
        painter.rotate(6);
    } else if (throwProgress) {
        // A lunge that peaks when the blow lands, with a squash on impact.
        const double p = *throwProgress;
        const double lunge = std::sin(std::numbers::pi * p);
        painter.translate(7 * lunge, 0);
        painter.rotate(10 * lunge);
        painter.scale(1 + 0.06 * lunge, 1 - 0.06 * lunge);
    } else {
        painter.scale(1, 1 + 0.02 * std::sin(4 * t)); // breathing
    }
    painter.scale(fit, fit);
    // Centred over its feet; the notch drawings of some kinds sit off-centre.
    painter.translate(-metrics.previewXShift, -metrics.bottom);
    CharacterPainter::forKind(kind).body(painter, state);
    painter.restore();
}

} // namespace notchora
