#pragma once

#include "characters/CharacterKind.h"
#include "characters/CharacterMetrics.h"
#include "characters/CharacterRoam.h"

#include <QPointF>

namespace notchora {

// Where the collapsed character sits for one notch, and what it does in one frame: the
// drawing's scale and placement in its slot, its pacing offset and facing, and how it
// looks at the pointer.
class CharacterLayout {
public:
    struct Frame {
        QPointF offset; // added to the placement
        int facing = 1;
        QPointF point; // the character, in the pointer's frame
        QPointF look;
        double near = 0;
    };

    static constexpr double lookDistance = 70;
    static constexpr double nearDistance = 120;
    static constexpr double slotPointInset = 14;

    CharacterLayout(CharacterKind kind, double notchWidth, double notchHeight,
                    double slotToNotchEdge);

    double scale() const { return m_scale; }
    double centreY() const { return m_centreY; }
    bool roams() const { return m_metrics.placement == CharacterMetrics::Placement::Roaming; }
    // Moves the drawing from its slot to where it belongs.
    QPointF placement() const;

    // `cursor` is the pointer relative to the notch centre, y down from the screen top.
    Frame frame(double t, const QPointF& cursor) const;
    // Direction and closeness of `cursor` seen from `point`; `facing` mirrors the x part.
    static void lookAt(const QPointF& point, const QPointF& cursor, int facing, QPointF& look,
                       double& near);

private:
    CharacterMetrics m_metrics;
    CharacterRoam m_roam;
    double m_notchWidth;
    double m_notchHeight;
    double m_slotToNotchEdge;
    double m_scale = 1;
    double m_centreY = 0;
};

} // namespace notchora
