#include "notch/CursorTracker.h"

#include "notch/NotchGeometry.h"

namespace notchora {

CursorTracker& CursorTracker::shared() {
    static CursorTracker tracker;
    return tracker;
}

QPointF CursorTracker::relativeLocation(const QPointF& pointer, const NotchGeometry& geometry) {
    const QRectF& notch = geometry.notchRect;
    const QRectF& screen = geometry.screenFrame;
    return {pointer.x() - (notch.x() + notch.width() / 2),
            screen.y() + screen.height() - pointer.y()};
}

} // namespace notchora
