import QtQuick
import Notchora.Core
import Notchora.Answer
import Notchora.Assistant

// The answer popup: a dark 360 x 340 card (with its shadow round it) showing the current
// conversation, with stop, copy, the menu and close in its header.
Item {
    id: root

    required property AnswerPopupController controller

    // Bound by the assistant service once it drives the popup: whether a question runs,
    // the answer so far, the status and failure of the running question, the notice, and
    // the last answer (what the copy button copies).
    property bool isBusy: false
    property string streamingText
    property string statusText
    property string failureText
    property bool needsSignIn: false
    property bool isCompacting: false
    property string noticeText
    property bool noticeIsError: false
    property string lastAnswer

    // What the service answers: stopping the question (also before switching threads),
    // starting a new conversation, signing in and asking again.
    signal stopRequested
    signal newConversationRequested
    signal signInRequested

    // The follow-up footer (suggestions, attachments, the field) goes into this slot.
    property alias footer: footerSlot.data

    readonly property int shadowMargin: 18
    readonly property color cyan: "#32d2f5"

    // The shadow: rings of faint black, widening and fading, a little lower than the card.
    Repeater {
        model: 8
        Rectangle {
            required property int index
            readonly property real spread: (index + 1) * 2
            x: card.x - spread
            y: card.y - spread + 4
            width: card.width + 2 * spread
            height: card.height + 2 * spread
            radius: card.radius + spread
            color: Qt.rgba(0, 0, 0, 0.045)
        }
    }

    Rectangle {
        id: card
        x: root.shadowMargin
        y: root.shadowMargin
        width: 360
        height: 340
        radius: 22
        color: Qt.rgba(0, 0, 0, 0.93)
        clip: true

        Column {
            anchors.fill: parent

            Item {
                id: header
                width: parent.width
                height: 40

                Row {
                    anchors.left: parent.left
                    anchors.leftMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 8
                    SymbolIcon {
                        anchors.verticalCenter: parent.verticalCenter
                        symbol: "sparkles"
                        size: 14
                        color: root.cyan
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: "AI Assistant"
                        font.pixelSize: 13
                        font.weight: Font.DemiBold
                        color: "white"
                    }
                }

                Row {
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 8
                    PopupIconButton {
                        visible: root.isBusy
                        symbol: "stop.circle.fill"
                        help: "Hentikan"
                        onActivated: root.stopRequested()
                    }
                    PopupIconButton {
                        symbol: "doc.on.doc"
                        help: "Salin jawaban terakhir"
                        onActivated: root.controller.copyText(root.lastAnswer)
                    }
                    PopupIconButton {
                        id: menuButton
                        symbol: "ellipsis.circle"
                        help: "Posisi popup, percakapan baru, riwayat"
                        onActivated: menu.open()
                        PopupMenu {
                            id: menu
                            controller: root.controller
                            y: menuButton.height + 4
                            x: menuButton.width - width
                            onNewConversation: {
                                root.stopRequested()
                                ChatHistoryStore.currentID = ""
                                root.newConversationRequested()
                            }
                            onSelectThread: (threadID) => {
                                root.stopRequested()
                                ChatHistoryStore.select(threadID)
                            }
                            onClearHistory: {
                                root.stopRequested()
                                ChatHistoryStore.clearAll()
                            }
                        }
                    }
                    PopupIconButton {
                        symbol: "xmark.circle.fill"
                        help: "Tutup"
                        onActivated: root.controller.close()
                    }
                }
            }

            Rectangle { width: parent.width; height: 1; color: Qt.rgba(1, 1, 1, 0.1) }

            ConversationView {
                id: conversation
                width: parent.width
                height: card.height - header.height - 2 - footerSlot.height
                streamingText: root.streamingText
                statusText: root.statusText
                failureText: root.failureText
                needsSignIn: root.needsSignIn
                isCompacting: root.isCompacting
                noticeText: root.noticeText
                noticeIsError: root.noticeIsError
                isIdle: !root.isBusy && root.failureText.length === 0
                summary: root.currentThread ? root.currentThread.summary : ""
                hasSummary: root.currentThread ? root.currentThread.hasSummary : false
                onLinkActivated: (link) => root.controller.openLink(link)
                onSignInRequested: root.signInRequested()
            }

            Rectangle { width: parent.width; height: 1; color: Qt.rgba(1, 1, 1, 0.1) }

            Item {
                id: footerSlot
                width: parent.width
                height: childrenRect.height
            }
        }
    }

    // The border over everything the card clips.
    Rectangle {
        x: card.x
        y: card.y
        width: card.width
        height: card.height
        radius: card.radius
        color: "transparent"
        border.width: 1
        border.color: Qt.rgba(1, 1, 1, 0.12)
    }

    readonly property var currentThread: {
        const id = ChatHistoryStore.currentID
        const threads = ChatHistoryStore.threads
        for (let i = 0; i < threads.length; ++i) {
            if (threads[i].id === id)
                return threads[i]
        }
        return null
    }
}
