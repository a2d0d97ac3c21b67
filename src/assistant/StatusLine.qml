import QtQuick
import QtQuick.Controls

// A small spinner and what the running question is doing.
Row {
    id: line

    property string text

    spacing: 8

    BusyIndicator {
        width: 14
        height: 14
        running: line.visible
        anchors.verticalCenter: parent.verticalCenter
    }
    Text {
        anchors.verticalCenter: parent.verticalCenter
        text: line.text
        font.pixelSize: 12
        color: Qt.rgba(1, 1, 1, 0.7)
    }
}
