#pragma once

#include <QList>
#include <QRect>
#include <QRectF>
#include <QString>
#include <optional>

namespace notchora {

// One display, in the program's global coordinates: points, origin at the bottom-left of
// the primary screen, y growing upwards. Qt's top-left coordinates never leave src/platform.
struct ScreenInfo {
    QString name;
    QRectF frame;
    // The frame minus panels and docks (the work area).
    QRectF visibleFrame;
    // Height of a camera cut-out at the top; 0 where none is reported.
    double safeAreaTop = 0;
    // Usable top areas left and right of a cut-out, where the system reports them.
    std::optional<QRectF> auxiliaryTopLeftArea;
    std::optional<QRectF> auxiliaryTopRightArea;

    bool operator==(const ScreenInfo&) const = default;

    // Builds a screen from Qt's top-left geometry and work area, given the primary screen's
    // Qt geometry (the origin of our coordinates).
    static ScreenInfo fromQt(const QString& name, const QRect& geometry, const QRect& available,
                             const QRect& primaryGeometry);
};

// Conversions between Qt's top-left global coordinates and ours, relative to the primary
// screen's Qt geometry.
namespace GlobalCoordinates {
QRectF fromQt(const QRectF& rect, const QRect& primaryGeometry);
QRectF toQt(const QRectF& rect, const QRect& primaryGeometry);
QPointF fromQt(const QPointF& point, const QRect& primaryGeometry);
QPointF toQt(const QPointF& point, const QRect& primaryGeometry);
} // namespace GlobalCoordinates

} // namespace notchora
