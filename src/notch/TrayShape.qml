import QtQuick
import QtQuick.Shapes

// The black tray: square top corners that continue the notch, and bottom corners with
// continuous curvature (the curve starts flat and tightens towards the middle, so the
// corner blends into the straight edges instead of meeting them with a kink).
Shape {
    id: shape

    property real radius: 10
    property color fillColor: "black"

    // The corner curve reaches 1.25 radii along each edge.
    readonly property real reach: Math.max(0, Math.min(radius * 1.25, width / 2, height))
    readonly property real handle: reach * 0.16

    // Geometry-rendered paths have hard edges; a multisampled layer smooths them.
    layer.enabled: true
    layer.samples: 4
    layer.smooth: true

    ShapePath {
        fillColor: shape.fillColor
        strokeWidth: -1
        startX: 0
        startY: 0
        PathLine { x: shape.width; y: 0 }
        PathLine { x: shape.width; y: shape.height - shape.reach }
        PathCubic {
            x: shape.width - shape.reach
            y: shape.height
            control1X: shape.width
            control1Y: shape.height - shape.handle
            control2X: shape.width - shape.handle
            control2Y: shape.height
        }
        PathLine { x: shape.reach; y: shape.height }
        PathCubic {
            x: 0
            y: shape.height - shape.reach
            control1X: shape.handle
            control1Y: shape.height
            control2X: 0
            control2Y: shape.height - shape.handle
        }
        PathLine { x: 0; y: 0 }
    }
}
