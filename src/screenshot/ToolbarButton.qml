import QtQuick
import QtQuick.Controls.Basic
import Notchora.Core

// A toolbar button of the red-box editor: symbol and label, or the symbol alone (with
// the label as tooltip) when the window is too narrow for every label.
Rectangle {
    id: button

    property string text
    property string symbol
    property bool compact: false
    property bool prominent: false
    readonly property bool showsLabel: !(compact && symbol !== "")
    readonly property real fullWidth: label.implicitWidth + (symbol !== "" ? 20 : 0) + 20

    signal clicked()

    implicitHeight: 28
    implicitWidth: showsLabel ? fullWidth : 32
    radius: 7
    color: {
        if (mouse.pressed)
            return prominent ? "#0060d0" : "#5a5a5f"
        if (mouse.containsMouse)
            return prominent ? "#2a8fff" : "#4a4a4f"
        return prominent ? "#0a7cff" : "#38383c"
    }
    border.color: Qt.rgba(1, 1, 1, 0.08)
    Behavior on color { ColorAnimation { duration: 100 } }

    Row {
        anchors.centerIn: parent
        spacing: 5

        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            visible: button.symbol !== ""
            symbol: button.symbol
            size: 15
        }
        Text {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            visible: button.showsLabel
            text: button.text
            color: "white"
            font.pixelSize: 12
            font.weight: Font.Medium
        }
    }

    MouseArea {
        id: mouse
        anchors.fill: parent
        hoverEnabled: true
        onClicked: button.clicked()
    }

    ToolTip.visible: !button.showsLabel && mouse.containsMouse
    ToolTip.delay: 400
    ToolTip.text: button.text
}
