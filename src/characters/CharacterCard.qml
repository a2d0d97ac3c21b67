import QtQuick
import Notchora.Notch

// One 48 x 56 card of the character picker.
Item {
    id: card

    property bool selected: false
    property string help
    default property alias content: clip.data

    signal activated()

    width: 48
    height: 56

    Rectangle {
        anchors.fill: parent
        radius: 10
        color: Qt.rgba(1, 1, 1, card.selected ? 0.24 : 0.08)
        border.width: card.selected ? 1 : 0
        border.color: Qt.rgba(1, 1, 1, 0.6)
    }

    Item {
        id: clip
        anchors.fill: parent
        clip: true
    }

    HoverHandler { id: hover }
    TapHandler {
        gesturePolicy: TapHandler.ReleaseWithinBounds
        onTapped: card.activated()
    }

    Accessible.role: Accessible.Button
    Accessible.name: card.help

    NotchToolTip {
        visible: hover.hovered && card.help.length > 0
        text: card.help
    }
}
