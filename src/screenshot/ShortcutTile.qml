import QtQuick
import Notchora.Core
import Notchora.Screenshot

// One tile: icon, title and subtitle, key hint. Brightens under the pointer and shrinks a
// little while pressed; the whole rounded rectangle takes the click.
Item {
    id: tile

    required property string itemID
    required property string title
    required property string subtitle
    required property string keyHint
    required property string symbol
    property bool paused: false
    readonly property bool isHovering: mouse.containsMouse
    readonly property bool pressed: mouse.pressed

    signal activated()

    objectName: "tile-" + itemID
    implicitHeight: 78
    height: 78

    Item {
        id: body
        objectName: "body"
        anchors.fill: parent
        scale: tile.pressed ? 0.97 : 1.0
        Behavior on scale { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }

        Rectangle {
            anchors.fill: parent
            radius: 18
            color: Qt.rgba(1, 1, 1, tile.isHovering ? 0.18 : 0.10)
            Behavior on color { ColorAnimation { duration: 150; easing.type: Easing.OutQuad } }
        }

        Item {
            anchors.fill: parent
            anchors.margins: 10

            Item {
                id: iconFrame
                width: 62
                height: 48
                anchors.verticalCenter: parent.verticalCenter

                ScreenshotIconView {
                    anchors.fill: parent
                    visible: tile.symbol === ""
                    paused: tile.paused || !visible
                }
                SymbolIcon {
                    anchors.centerIn: parent
                    visible: tile.symbol !== ""
                    symbol: tile.symbol
                    size: 30
                    color: Qt.rgba(1, 1, 1, 0.85)
                    font.weight: Font.Light
                }
            }

            Column {
                anchors.left: iconFrame.right
                anchors.leftMargin: 10
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                spacing: 2

                // A narrow tile wraps a long title at a space, or shrinks a single long word a
                // little, rather than cutting it off.
                Text {
                    id: title
                    width: parent.width
                    text: tile.title
                    color: "white"
                    font.pixelSize: 14
                    font.weight: Font.DemiBold
                    wrapMode: Text.WordWrap
                    maximumLineCount: 2
                    fontSizeMode: Text.HorizontalFit
                    minimumPixelSize: 11
                    elide: Text.ElideRight
                }
                Text {
                    width: parent.width
                    text: tile.subtitle
                    color: Qt.rgba(1, 1, 1, 0.6)
                    font.pixelSize: 10
                    wrapMode: Text.WordWrap
                    // A key hint takes the last line (desktop key names are long).
                    maximumLineCount: title.lineCount > 1 || hint.visible ? 1 : 2
                    elide: Text.ElideRight
                }

                Rectangle {
                    id: hint
                    visible: tile.keyHint !== ""
                    width: hintText.implicitWidth + 12
                    height: hintText.implicitHeight + 4
                    radius: 5
                    color: Qt.rgba(1, 1, 1, 0.12)

                    Text {
                        id: hintText
                        anchors.centerIn: parent
                        text: tile.keyHint
                        color: Qt.rgba(1, 1, 1, 0.75)
                        font.pixelSize: 10
                        font.weight: Font.Medium
                    }
                }
            }
        }

        // Pressed: a touch brighter.
        Rectangle {
            anchors.fill: parent
            radius: 18
            color: "white"
            opacity: tile.pressed ? 0.08 : 0
            Behavior on opacity { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }
        }
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        cursorShape: Qt.PointingHandCursor
        onClicked: tile.activated()
    }
}
