#pragma once

#include <QRectF>
#include <QUuid>
#include <algorithm>
#include <array>

namespace notchora {

// One red box of the editor, in image points (origin top left).
struct AnnotationBox {
    QUuid id;
    QRectF rect;
    double thickness = 3.0;

    bool operator==(const AnnotationBox&) const = default;

    // The outline as four filled bands (top, bottom, left, right): exactly what a stroke of
    // `thickness` centred on the edge covers, with square ends and mitred corners. Bands
    // may be empty when the box is thinner than its stroke.
    std::array<QRectF, 4> bands() const {
        const double half = thickness / 2;
        const QRectF outer = rect.adjusted(-half, -half, half, half);
        const double side = std::max(0.0, rect.height() - thickness);
        return {QRectF(outer.left(), outer.top(), outer.width(), thickness),
                QRectF(outer.left(), outer.bottom() - thickness, outer.width(), thickness),
                QRectF(outer.left(), rect.top() + half, thickness, side),
                QRectF(rect.right() - half, rect.top() + half, thickness, side)};
    }
};

} // namespace notchora
