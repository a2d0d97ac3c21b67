import QtQuick
import Notchora.Core
import Notchora.Assistant

// One message of the conversation: the user's as a bubble at the trailing edge, the
// assistant's as Markdown across the width with its confidence beside it.
Item {
    id: row

    required property string role
    required property string text
    required property bool hadImages
    required property bool hasConfidence
    required property real confidence
    readonly property bool isUser: role === "user"

    signal linkActivated(string link)

    implicitHeight: isUser ? bubble.height : Math.max(answer.implicitHeight, hasConfidence ? 32 : 0)

    Rectangle {
        id: bubble
        visible: row.isUser
        readonly property real maxTextWidth: row.width - 40 - 20 - (row.hadImages ? 15 : 0)
        width: Math.min(question.implicitWidth, maxTextWidth) + 20 + (row.hadImages ? 15 : 0)
        height: question.height + 12
        anchors.right: parent.right
        radius: 12
        color: Qt.rgba(1, 1, 1, 0.14)

        SymbolIcon {
            visible: row.hadImages
            x: 10
            anchors.verticalCenter: parent.verticalCenter
            symbol: "photo"
            size: 10
        }
        TextEdit {
            id: question
            x: row.hadImages ? 25 : 10
            y: 6
            width: Math.min(implicitWidth, bubble.maxTextWidth)
            text: row.isUser ? row.text : ""
            textFormat: TextEdit.PlainText
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            font.pixelSize: 12
            color: "white"
            selectionColor: Qt.rgba(0.2, 0.82, 0.96, 0.45)
        }
    }

    TextEdit {
        id: answer
        visible: !row.isUser
        width: row.width - (row.hasConfidence ? 40 : 0)
        text: row.isUser ? "" : MarkdownText.render(row.text)
        textFormat: TextEdit.RichText
        readOnly: true
        selectByMouse: true
        wrapMode: TextEdit.Wrap
        font.pixelSize: 13
        color: "white"
        selectionColor: Qt.rgba(0.2, 0.82, 0.96, 0.45)
        onLinkActivated: (link) => row.linkActivated(link)

        HoverHandler {
            cursorShape: answer.hoveredLink.length > 0 ? Qt.PointingHandCursor : Qt.IBeamCursor
        }
    }

    ConfidenceRing {
        visible: !row.isUser && row.hasConfidence
        anchors.right: parent.right
        anchors.top: parent.top
        value: row.confidence
    }
}
