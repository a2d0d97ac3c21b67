import QtQuick

// A small card explaining a control while the pointer rests on it. It lives in the page's
// top layer, beside the control's top trailing corner, kept inside the page so it is never
// cut off; it takes no pointer input, so it never steals the hover from the control.
Item {
    id: hint

    // The control it explains, anywhere inside the hint's parent.
    property Item target
    property string title
    property string detail
    property bool isHovering: false
    // Its trailing edge this far before the control, its top a little above it.
    property real gap: 8
    property real lift: 12

    // Placed as it opens: the control does not move while the pointer is on it.
    function place() {
        if (!target || !parent)
            return
        const corner = target.mapToItem(parent, 0, 0)
        x = Math.max(0, Math.min(parent.width - width, corner.x - gap - width))
        y = Math.max(0, Math.min(parent.height - height, corner.y - lift))
    }
    onIsHoveringChanged: if (isHovering) place()

    width: 230
    height: card.implicitHeight
    z: 100
    enabled: false

    opacity: isHovering ? 1 : 0
    scale: isHovering ? 1 : 0.96
    transformOrigin: Item.TopRight
    visible: opacity > 0
    Behavior on opacity { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }
    Behavior on scale { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }

    Rectangle {
        id: card
        objectName: "hintCard"
        width: parent.width
        implicitHeight: column.implicitHeight + 16
        height: implicitHeight
        radius: 10
        color: Qt.rgba(0.17, 0.17, 0.17, 1)
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.14)

        Column {
            id: column
            x: 10
            y: 8
            width: parent.width - 20
            spacing: 3

            Text {
                objectName: "hintTitle"
                width: parent.width
                text: hint.title
                color: "white"
                font.pixelSize: 11
                font.weight: Font.DemiBold
                wrapMode: Text.WordWrap
            }
            Text {
                objectName: "hintDetail"
                width: parent.width
                text: hint.detail
                color: Qt.rgba(1, 1, 1, 0.75)
                font.pixelSize: 10
                wrapMode: Text.WordWrap
            }
        }
    }
}
