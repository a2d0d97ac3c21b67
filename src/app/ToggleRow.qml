import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Notchora.Core

// A label (with an optional icon) and its switch at the right edge. The switch shows
// `checked` and reports the user's flips through `toggled`; the source decides what stays.
RowLayout {
    id: row

    property string text
    property string symbol
    property bool checked
    property alias toggle: toggle
    signal toggled(bool on)

    Layout.fillWidth: true
    spacing: 8

    SymbolIcon {
        visible: row.symbol !== ""
        symbol: row.symbol
        size: 18
        color: toggle.palette.windowText
        Layout.preferredWidth: 22
    }
    Label {
        text: row.text
        wrapMode: Text.Wrap
        Layout.fillWidth: true
    }
    Switch {
        id: toggle
        checked: row.checked
        onToggled: row.toggled(checked)
    }
}
