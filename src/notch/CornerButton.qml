import QtQuick
import Notchora.Core

// A round button in the corner bar: a symbol on a faint disc that takes the tint while
// hovered, an optional notification badge, and a tooltip.
Item {
    id: button

    property string symbol
    property real side: 28
    property color tint: "white"
    property string help
    property bool badge: false
    readonly property bool isHovering: hover.hovered

    signal activated

    width: side
    height: side

    // An easing curve is a QVariantList, which Qt 6.4's qmllint only accepts from a var.
    readonly property var easeOut: [0, 0, 0.58, 1, 1, 1]

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        color: button.isHovering ? Qt.rgba(button.tint.r, button.tint.g, button.tint.b, 0.28)
                                 : Qt.rgba(1, 1, 1, 0.12)
        Behavior on color {
            ColorAnimation { duration: 150; easing.type: Easing.Bezier; easing.bezierCurve: button.easeOut }
        }
    }

    SymbolIcon {
        anchors.centerIn: parent
        symbol: button.symbol
        size: button.side * 0.46
        color: button.isHovering ? button.tint : Qt.rgba(1, 1, 1, 0.78)
        Behavior on color {
            ColorAnimation { duration: 150; easing.type: Easing.Bezier; easing.bezierCurve: button.easeOut }
        }
    }

    Rectangle {
        visible: button.badge
        width: 9
        height: 9
        radius: 4.5
        x: button.width - width + 1
        y: -1
        color: "#32d2f5"
        border.color: "black"
        border.width: 1.5
    }

    HoverHandler {
        id: hover
        cursorShape: Qt.PointingHandCursor
    }

    // Only the disc is clickable.
    TapHandler {
        gesturePolicy: TapHandler.ReleaseWithinBounds
        onTapped: (point) => {
            const dx = point.position.x - button.width / 2
            const dy = point.position.y - button.height / 2
            if (dx * dx + dy * dy <= button.side * button.side / 4)
                button.activated()
        }
    }

    NotchToolTip {
        visible: button.isHovering && button.help.length > 0
        text: button.help
    }
}
