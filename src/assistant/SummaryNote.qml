import QtQuick
import Notchora.Core

// The note that earlier messages were summarised, opening onto the summary.
Column {
    id: note

    property string summary
    property bool isExpanded: false

    spacing: 4

    Row {
        spacing: 4
        SymbolIcon {
            symbol: note.isExpanded ? "chevron.down" : "chevron.right"
            size: 11
            color: Qt.rgba(1, 1, 1, 0.5)
        }
        Text {
            text: "Bagian awal percakapan telah diringkas"
            font.pixelSize: 11
            color: Qt.rgba(1, 1, 1, 0.5)
        }
        TapHandler {
            gesturePolicy: TapHandler.ReleaseWithinBounds
            onTapped: note.isExpanded = !note.isExpanded
        }
        HoverHandler { cursorShape: Qt.PointingHandCursor }
        Accessible.role: Accessible.Button
        Accessible.name: "Bagian awal percakapan telah diringkas"
    }

    Rectangle {
        visible: note.isExpanded
        width: note.width
        height: summaryText.implicitHeight + 16
        radius: 8
        color: Qt.rgba(1, 1, 1, 0.06)
        TextEdit {
            id: summaryText
            x: 8
            y: 8
            width: parent.width - 16
            text: note.summary
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            font.pixelSize: 11
            color: Qt.rgba(1, 1, 1, 0.6)
            selectionColor: Qt.rgba(0.2, 0.82, 0.96, 0.45)
        }
    }
}
