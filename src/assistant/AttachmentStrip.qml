import QtQuick
import Notchora.Core

// The pending attachments as a row of square thumbnails, each with a remove button on its
// top-trailing corner. Spacing and placement belong to the view that holds the strip.
ListView {
    id: strip

    // Side of one thumbnail.
    property real size: 44
    readonly property real buttonSize: Math.max(0.34 * size, 12)

    signal removeRequested(string attachmentID)

    orientation: ListView.Horizontal
    interactive: contentWidth > width
    spacing: 6
    implicitHeight: size + 5
    implicitWidth: contentWidth
    boundsBehavior: Flickable.StopAtBounds

    add: Transition {
        NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 150; easing.type: Easing.OutQuad }
        NumberAnimation { property: "scale"; from: 0.6; to: 1; duration: 150; easing.type: Easing.OutQuad }
    }
    remove: Transition {
        NumberAnimation { property: "opacity"; to: 0; duration: 150; easing.type: Easing.OutQuad }
        NumberAnimation { property: "scale"; to: 0.6; duration: 150; easing.type: Easing.OutQuad }
    }
    displaced: Transition {
        NumberAnimation { property: "x"; duration: 150; easing.type: Easing.OutQuad }
    }

    delegate: Item {
        id: cell

        required property string attachmentID
        required property url thumbnail

        objectName: "attachment-" + attachmentID
        // Room above and after the picture for the remove button to stick out.
        width: strip.size + 5
        height: strip.size + 5

        Image {
            objectName: "thumbnail"
            y: 5
            width: strip.size
            height: strip.size
            source: cell.thumbnail
            sourceSize.width: Math.ceil(strip.size * Screen.devicePixelRatio)
            sourceSize.height: Math.ceil(strip.size * Screen.devicePixelRatio)
            fillMode: Image.PreserveAspectCrop
            smooth: true
        }
        Rectangle {
            y: 5
            width: strip.size
            height: strip.size
            radius: 0.2 * strip.size
            color: "transparent"
            border.width: 1
            border.color: Qt.rgba(1, 1, 1, 0.2)
        }

        Item {
            id: removeButton
            objectName: "removeButton"
            x: strip.size + 5 - width
            y: 0
            width: strip.buttonSize
            height: strip.buttonSize

            Accessible.role: Accessible.Button
            Accessible.name: "Hapus gambar"
            Accessible.onPressAction: strip.removeRequested(cell.attachmentID)

            // The glyph is a dark disc with the cross cut out; white shows through the cut.
            Rectangle {
                anchors.centerIn: parent
                width: 0.44 * parent.width
                height: width
                radius: width / 2
                color: "white"
            }
            SymbolIcon {
                anchors.fill: parent
                symbol: "xmark.circle.fill"
                size: strip.buttonSize
                color: Qt.rgba(0, 0, 0, 0.8)
            }
            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: strip.removeRequested(cell.attachmentID)
            }
        }
    }
}
