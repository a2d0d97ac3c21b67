import QtQuick
import QtQuick.Controls.Basic
import Notchora.Core

// A toolbar button of the red-box editor: symbol and label, the label alone, or the
// symbol alone (with the label as tooltip) when the toolbar has no room for labels.
Rectangle {
    id: button

    property string text
    property string symbol
    property bool showsLabel: true
    property bool showsSymbol: true
    property bool prominent: false
    readonly property bool hasSymbol: symbol !== ""
    readonly property bool labelShown: showsLabel || !hasSymbol
    readonly property bool symbolShown: hasSymbol && (showsSymbol || !labelShown)
    // Widths the toolbar plans with, whatever is shown now.
    readonly property real labelWidth: label.implicitWidth + 2 * padding
    readonly property real fullWidth: labelWidth + (hasSymbol ? icon.implicitWidth + content.spacing : 0)
    readonly property real symbolWidth: hasSymbol ? 32 : labelWidth
    readonly property real padding: 9

    signal clicked()

    implicitHeight: 28
    implicitWidth: !labelShown ? symbolWidth : symbolShown ? fullWidth : labelWidth
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
        id: content
        anchors.centerIn: parent
        spacing: 5

        SymbolIcon {
            id: icon
            anchors.verticalCenter: parent.verticalCenter
            visible: button.symbolShown
            symbol: button.symbol
            size: 15
        }
        Text {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            visible: button.labelShown
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

    ToolTip.visible: !button.labelShown && mouse.containsMouse
    ToolTip.delay: 400
    ToolTip.text: button.text
}
