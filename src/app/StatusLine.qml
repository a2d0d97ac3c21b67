import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Notchora.Core

// An icon and a short status text, wrapping within the width it is given.
Item {
    id: line

    property string symbol
    property string text
    property color symbolColor: label.color
    property alias label: label

    Layout.fillWidth: true
    implicitWidth: icon.width + label.implicitWidth + 6
    implicitHeight: Math.max(icon.implicitHeight, label.implicitHeight)

    SymbolIcon {
        id: icon
        objectName: "statusSymbol"
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        width: visible ? 20 : 0
        visible: line.symbol !== ""
        symbol: line.symbol
        size: 18
        color: line.symbolColor
    }
    Label {
        id: label
        objectName: "statusText"
        anchors.left: icon.right
        anchors.leftMargin: icon.visible ? 6 : 0
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        text: line.text
        wrapMode: Text.Wrap
    }
}
