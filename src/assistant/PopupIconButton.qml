import QtQuick
import Notchora.Core

// One of the header's icon buttons: a 14-point symbol in a 24 x 24 frame with a tooltip.
Item {
    id: button

    property string symbol
    property string help
    property color tint: Qt.rgba(1, 1, 1, 0.75)
    readonly property bool isHovering: hover.hovered

    signal activated

    width: 24
    height: 24
    Accessible.role: Accessible.Button
    Accessible.name: help
    Accessible.onPressAction: button.activated()

    SymbolIcon {
        anchors.centerIn: parent
        symbol: button.symbol
        size: 14
        color: button.isHovering ? "white" : button.tint
    }

    HoverHandler {
        id: hover
        cursorShape: Qt.PointingHandCursor
    }

    TapHandler {
        gesturePolicy: TapHandler.ReleaseWithinBounds
        onTapped: button.activated()
    }

    PopupToolTip {
        visible: button.isHovering && button.help.length > 0
        text: button.help
    }
}
