#pragma once

#include <QRectF>
#include <QUuid>

namespace notchora {

// One red box of the editor, in image points (origin top left).
struct AnnotationBox {
    QUuid id;
    QRectF rect;
    double thickness = 3.0;

    bool operator==(const AnnotationBox&) const = default;
};

} // namespace notchora
