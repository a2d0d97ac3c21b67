import QtQuick
import QtQuick.Controls
import Notchora.Core
import Notchora.Answer
import Notchora.Assistant

// The current thread as a list (long conversations stay smooth): its summary note, every
// message, then what the running question shows, and a bottom marker to scroll to.
ListView {
    id: list

    // Bound by the assistant service: the partial answer, the running question's status
    // line ("Mengambil layar…", "Menunggu jawaban…"), a failure with its sign-in button,
    // the compaction line and the short notice.
    property string streamingText
    property string statusText
    property string failureText
    property bool needsSignIn: false
    property bool isCompacting: false
    property string noticeText
    property bool noticeIsError: false
    // No question is running (the empty text shows only then).
    property bool isIdle: true
    property string summary
    property bool hasSummary: false

    signal linkActivated(string link)
    signal signInRequested

    clip: true
    spacing: 12
    leftMargin: 14
    rightMargin: 14
    topMargin: 14
    bottomMargin: 14
    boundsBehavior: Flickable.StopAtBounds
    model: ChatHistoryStore.messagesModel
    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

    readonly property real rowWidth: width - leftMargin - rightMargin

    header: Item {
        width: list.rowWidth
        height: list.hasSummary ? note.implicitHeight + list.spacing : 0
        visible: list.hasSummary
        SummaryNote {
            id: note
            width: parent.width
            summary: list.summary
        }
    }

    delegate: MessageRow {
        width: list.rowWidth
        onLinkActivated: (link) => list.linkActivated(link)
    }

    footer: Column {
        width: list.rowWidth
        spacing: 12
        topPadding: list.count > 0 ? 12 : 0

        StreamingRow {
            width: parent.width
            visible: list.streamingText.length > 0
            text: list.streamingText
            onLinkActivated: (link) => list.linkActivated(link)
        }
        StatusLine {
            visible: list.statusText.length > 0
            text: list.statusText
        }
        Column {
            visible: list.failureText.length > 0
            width: parent.width
            spacing: 8
            Text {
                width: parent.width
                text: list.failureText
                wrapMode: Text.Wrap
                font.pixelSize: 12
                color: Qt.rgba(1, 0.27, 0.23, 0.9)
            }
            Button {
                visible: list.needsSignIn
                text: "Masuk"
                highlighted: true
                font.pixelSize: 11
                onClicked: list.signInRequested()
            }
        }
        StatusLine {
            visible: list.isCompacting
            text: "Meringkas percakapan…"
        }
        Row {
            visible: list.noticeText.length > 0
            spacing: 5
            SymbolIcon {
                symbol: list.noticeIsError ? "exclamationmark.triangle.fill" : "checkmark.circle.fill"
                size: 11
                color: list.noticeIsError ? Qt.rgba(1, 0.27, 0.23, 0.9) : Qt.rgba(0.19, 0.82, 0.35, 0.85)
            }
            Text {
                text: list.noticeText
                font.pixelSize: 11
                color: list.noticeIsError ? Qt.rgba(1, 0.27, 0.23, 0.9) : Qt.rgba(0.19, 0.82, 0.35, 0.85)
            }
        }
        Text {
            visible: list.count === 0 && list.isIdle
            width: parent.width
            text: "Belum ada percakapan. Tanya lewat widget di notch, atau ketik di bawah."
            wrapMode: Text.Wrap
            font.pixelSize: 12
            color: Qt.rgba(1, 1, 1, 0.5)
        }
        // The scroll target.
        Item {
            objectName: "bottom"
            width: parent.width
            height: 1
        }
    }

    // As the answer streams in (and when the view first shows) the end comes into view at
    // once; a new message, a new thread or a change of the running question's state glides
    // there.
    function scrollToEnd(glide: bool) {
        scroller.glide = scroller.glide || glide
        scroller.restart()
        holdsEnd = true
    }
    // Rows and the footer grow after they are laid out: the end stays in view until the
    // user scrolls.
    property bool holdsEnd: false
    onMovementStarted: holdsEnd = false
    onContentHeightChanged: if (holdsEnd && !gliding.running && !scroller.running) showEnd()
    // The last row and the margin below it (positionViewAtEnd stops short of the margin).
    function showEnd() {
        positionViewAtEnd()
        contentY = Math.max(contentY, originY + contentHeight + bottomMargin - height)
    }
    // Once the rows are laid out.
    Timer {
        id: scroller
        property bool glide: false
        // The first time the rows come in, they are simply shown at their end.
        property bool firstDone: false
        interval: 0
        onTriggered: {
            gliding.stop()
            const from = list.contentY
            list.showEnd()
            const to = list.contentY
            if (glide && firstDone && to !== from) {
                list.contentY = from
                gliding.from = from
                gliding.to = to
                gliding.start()
            }
            glide = false
            firstDone = true
        }
    }
    NumberAnimation {
        id: gliding
        target: list
        property: "contentY"
        duration: 200
        easing.type: Easing.OutQuad
        // Rows measured on the way may have moved the end a little.
        onFinished: list.showEnd()
    }
    onCountChanged: scrollToEnd(true)
    onStreamingTextChanged: scrollToEnd(false)
    onStatusTextChanged: scrollToEnd(true)
    onFailureTextChanged: scrollToEnd(true)
    onNoticeTextChanged: scrollToEnd(true)
    onIsCompactingChanged: scrollToEnd(true)
    Component.onCompleted: scrollToEnd(false)
}
