#pragma once

#include "characters/CharacterReaction.h"

#include <QPointF>

class QPainter;

namespace notchora {

// The mood's pose of the whole character and the little effects drawn around it.
class CharacterEffects {
public:
    struct Pose {
        double dy = 0;
        double scaleX = 1;
        double scaleY = 1;
        double rotation = 0; // radians
        bool operator==(const Pose&) const = default;
    };
    // One floating glyph of an effect: where it is and how visible.
    struct Glyph {
        QPointF position;
        double opacity = 0;
    };

    static constexpr double happyLength = 3.4;
    static constexpr double tearPeriod = 1.4;

    static Pose pose(const CharacterState& state);

    // Heart (0, 2) or star (1) number `i` of the happy effect.
    static Glyph heart(int i, double moodAge);
    // Star `i` (0 or 1) of the idle sparkle.
    static Glyph sparkle(int i, double t, double near);
    // The falling tear: its rectangle and opacity.
    static QRectF tearRect(double moodAge);
    static double tearOpacity(double moodAge);
    static double appearProgress(double moodAge);

    static void hearts(QPainter& painter, double moodAge);
    static void thoughtBubble(QPainter& painter, double t, double appear);
    static void tear(QPainter& painter, double moodAge);
    static void sparkle(QPainter& painter, double t, double near);
    // The effect that belongs to the frame's mood, if any.
    static void drawMoodEffect(QPainter& painter, const CharacterState& state);
};

} // namespace notchora
