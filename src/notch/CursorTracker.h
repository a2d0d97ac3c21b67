#pragma once

#include <QPointF>

namespace notchora {

struct NotchGeometry;

// The pointer relative to the notch: x to the right of the notch's centre, y down from the
// screen's top edge. Written on every pointer movement while the hover monitor runs; read
// by views every frame, so it is a plain value without notifications.
class CursorTracker {
public:
    static CursorTracker& shared();

    QPointF location() const { return m_location; }
    void setLocation(const QPointF& location) { m_location = location; }

    // `pointer` in global coordinates (bottom-left origin).
    static QPointF relativeLocation(const QPointF& pointer, const NotchGeometry& geometry);

private:
    QPointF m_location;
};

} // namespace notchora
