import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Help text under a control.
Label {
    wrapMode: Text.Wrap
    font.pixelSize: 12
    opacity: 0.7
    Layout.fillWidth: true
}
