import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Notchora.Core

// An icon and a short status text.
RowLayout {
    id: line

    property string symbol
    property string text
    property color symbolColor: label.color
    property alias label: label

    spacing: 6
    Layout.fillWidth: true

    SymbolIcon {
        objectName: "statusSymbol"
        visible: line.symbol !== ""
        symbol: line.symbol
        size: 18
        color: line.symbolColor
    }
    Label {
        id: label
        objectName: "statusText"
        text: line.text
        wrapMode: Text.Wrap
        Layout.fillWidth: true
    }
}
