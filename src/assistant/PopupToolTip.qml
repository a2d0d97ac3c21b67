import QtQuick
import QtQuick.Controls

// A dark tooltip under its item, kept inside the card.
ToolTip {
    id: tip

    delay: 600
    y: parent ? parent.height + 6 : 0
    padding: 6
    topPadding: 4
    bottomPadding: 4
    margins: 24

    contentItem: Text {
        text: tip.text
        color: "white"
        font.pixelSize: 11
    }
    background: Rectangle {
        color: "#2c2c2e"
        radius: 6
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
    }
}
