import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Notchora.Core

// A label (with an optional icon) and its switch at the right edge. The switch shows
// `checked` and reports the user's flips through `toggled`; the source decides what stays.
// Anchored rather than laid out, so a wrapping label knows its width before its height.
Item {
    id: row

    property string text
    property string symbol
    property bool checked
    property alias toggle: toggle
    signal toggled(bool on)

    Layout.fillWidth: true
    implicitWidth: 240
    implicitHeight: Math.max(label.implicitHeight, toggle.implicitHeight)

    SymbolIcon {
        id: icon
        anchors.left: parent.left
        anchors.verticalCenter: parent.verticalCenter
        width: visible ? 22 : 0
        visible: row.symbol !== ""
        symbol: row.symbol
        size: 18
        color: toggle.palette.windowText
    }
    Label {
        id: label
        anchors.left: icon.right
        anchors.leftMargin: icon.visible ? 8 : 0
        anchors.right: toggle.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        text: row.text
        wrapMode: Text.Wrap
    }
    Switch {
        id: toggle
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        checked: row.checked
        onToggled: {
            row.toggled(checked)
            // The source decides: a refused change (the last module, a login item that
            // could not be written) flips the switch back.
            checked = Qt.binding(() => row.checked)
        }
    }
}
