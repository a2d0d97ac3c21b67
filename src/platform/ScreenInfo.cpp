#include "platform/ScreenInfo.h"

namespace notchora {

ScreenInfo ScreenInfo::fromQt(const QString& name, const QRect& geometry, const QRect& available,
                              const QRect& primaryGeometry) {
    ScreenInfo screen;
    screen.name = name;
    screen.frame = GlobalCoordinates::fromQt(QRectF(geometry), primaryGeometry);
    // A work area that misses the screen (a stale _NET_WORKAREA) means "no panels".
    const QRect work = available.intersected(geometry);
    screen.visibleFrame =
        GlobalCoordinates::fromQt(QRectF(work.isEmpty() ? geometry : work), primaryGeometry);
    return screen;
}

namespace GlobalCoordinates {

// Qt rectangles are half-open in pixels; QRectF(QRect) keeps the exact extent, so the
// bottom edge is y + height and the flip below is exact.
QRectF fromQt(const QRectF& rect, const QRect& primary) {
    const double top = primary.y() + primary.height();
    return QRectF(rect.x() - primary.x(), top - rect.y() - rect.height(), rect.width(),
                  rect.height());
}

QRectF toQt(const QRectF& rect, const QRect& primary) {
    const double top = primary.y() + primary.height();
    return QRectF(rect.x() + primary.x(), top - rect.y() - rect.height(), rect.width(),
                  rect.height());
}

QPointF fromQt(const QPointF& point, const QRect& primary) {
    return QPointF(point.x() - primary.x(), primary.y() + primary.height() - point.y());
}

QPointF toQt(const QPointF& point, const QRect& primary) {
    return QPointF(point.x() + primary.x(), primary.y() + primary.height() - point.y());
}

} // namespace GlobalCoordinates

} // namespace notchora
