import QtQuick
import Notchora.Assistant

// The answer while it streams, as delivered, followed by a cursor blinking every half second.
Item {
    id: row

    property string text
    property bool cursorShown: true

    signal linkActivated(string link)

    implicitHeight: body.implicitHeight

    TextEdit {
        id: body
        width: row.width
        text: MarkdownText.render(row.text) + "<span style=\"color: "
              + (row.cursorShown ? "#32d2f5" : "transparent") + ";\"> \u258D</span>"
        textFormat: TextEdit.RichText
        readOnly: true
        selectByMouse: true
        wrapMode: TextEdit.Wrap
        font.pixelSize: 13
        color: "white"
        selectionColor: Qt.rgba(0.2, 0.82, 0.96, 0.45)
        onLinkActivated: (link) => row.linkActivated(link)
    }

    Timer {
        interval: 500
        repeat: true
        running: row.visible
        onTriggered: row.cursorShown = !row.cursorShown
    }
}
