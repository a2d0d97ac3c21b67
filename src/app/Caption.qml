import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Help text under a control.
Label {
    wrapMode: Text.Wrap
    font.pointSize: Math.max(7, Qt.application.font.pointSize - 1)
    opacity: 0.7
    Layout.fillWidth: true
}
