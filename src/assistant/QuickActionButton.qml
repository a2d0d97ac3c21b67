import QtQuick
import Notchora.Core

// One of the page's one-click questions about the screen: symbol and title on a faint
// capsule, which is also what takes the click.
Item {
    id: button

    property string title
    property string symbol
    property string accessibleName
    readonly property bool isHovering: hover.hovered

    signal activated()

    height: 28
    opacity: 1
    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.onPressAction: if (button.enabled) button.activated()

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: Qt.rgba(1, 1, 1, button.enabled && button.isHovering ? 0.18 : 0.12)
        Behavior on color { ColorAnimation { duration: 150; easing.type: Easing.OutQuad } }
    }

    Row {
        id: label
        anchors.centerIn: parent
        spacing: 5
        readonly property color tint: Qt.rgba(1, 1, 1, button.enabled ? 0.9 : 0.4)

        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            symbol: button.symbol
            size: 13
            color: label.tint
        }
        Text {
            objectName: "title"
            anchors.verticalCenter: parent.verticalCenter
            text: button.title
            color: label.tint
            font.pixelSize: 11
            font.weight: Font.DemiBold
        }
    }

    HoverHandler {
        id: hover
        cursorShape: button.enabled ? Qt.PointingHandCursor : Qt.ArrowCursor
    }
    TapHandler {
        gesturePolicy: TapHandler.ReleaseWithinBounds
        onTapped: button.activated()
    }
}
