#include "characters/CharacterLayout.h"

#include <algorithm>
#include <cmath>

namespace notchora {

CharacterLayout::CharacterLayout(CharacterKind kind, double notchWidth, double notchHeight,
                                 double slotToNotchEdge)
    : m_metrics(CharacterMetrics::forKind(kind)), m_roam(CharacterRoam::forKind(kind)),
      m_notchWidth(notchWidth), m_notchHeight(notchHeight), m_slotToNotchEdge(slotToNotchEdge) {
    if (roams()) {
        const double span = m_metrics.bottom - m_metrics.top;
        m_scale = std::clamp((notchHeight - 5) / span, 0.3, 1.0);
        m_centreY = notchHeight / 2 - m_scale * (m_metrics.top + m_metrics.bottom) / 2;
    }
}

QPointF CharacterLayout::placement() const {
    if (roams())
        return {m_slotToNotchEdge - m_notchWidth / 2, m_centreY - CharacterMetrics::originY};
    return {m_slotToNotchEdge, 0.6 * m_notchHeight - CharacterMetrics::originY};
}

CharacterLayout::Frame CharacterLayout::frame(double t, const QPointF& cursor) const {
    const auto sample = m_roam.sample(t, m_notchWidth / 2);
    Frame frame;
    frame.facing = sample.facing;
    if (roams()) {
        const double bob = std::clamp(m_scale * sample.y, -2.0, 2.0);
        frame.offset = {sample.x, bob};
        frame.point = {sample.x, bob + m_centreY + m_scale * m_metrics.foot};
    } else {
        frame.offset = {0, sample.y};
        frame.point = {m_notchWidth / 2 + slotPointInset, sample.y + 0.6 * m_notchHeight};
    }
    lookAt(frame.point, cursor, frame.facing, frame.look, frame.near);
    return frame;
}

void CharacterLayout::lookAt(const QPointF& point, const QPointF& cursor, int facing, QPointF& look,
                             double& near) {
    const QPointF d = cursor - point;
    const double distance = std::hypot(d.x(), d.y());
    const double a = std::min(distance / lookDistance, 1.0);
    look =
        distance > 0.5 ? QPointF(facing * a * d.x() / distance, a * d.y() / distance) : QPointF();
    near = std::clamp(1 - distance / nearDistance, 0.0, 1.0);
}

} // namespace notchora
