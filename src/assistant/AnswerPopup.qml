import QtQuick
import QtQuick.Controls.Basic
import Notchora.Core
import Notchora.Answer
import Notchora.Assistant

// The popup as the program shows it: the card drawing the assistant's running question and
// the current conversation, with the follow-up footer (suggestions, waiting images, field).
AnswerPopupView {
    id: popup

    readonly property color fieldCyan: "#32d2f5"

    // Scoped names: Phase and Outcome share "Failed".
    function statusFor(phase: int): string {
        if (phase === AIAssistantService.Phase.Capturing)
            return "Mengambil layar…"
        if (phase === AIAssistantService.Phase.Waiting)
            return "Menunggu jawaban…"
        return ""
    }

    function send() {
        if (!footerModel.canSend)
            return
        AIAssistantService.ask(followUpField.text, "follow_up", footerModel.attachScreen, true, true)
        followUpField.text = ""
    }

    isBusy: AIAssistantService.isBusy
    streamingText: AIAssistantService.streamingText
    statusText: statusFor(AIAssistantService.phase)
    // Set only while the last question stands failed.
    failureText: AIAssistantService.failureMessage
    needsSignIn: AIAssistantService.needsSignIn
    isCompacting: AIAssistantService.isCompacting
    noticeText: AIAssistantService.noticeText
    noticeIsError: AIAssistantService.noticeIsError
    lastAnswer: AIAssistantService.answer

    onStopRequested: AIAssistantService.cancel()
    onNewConversationRequested: AIAssistantService.newConversation()
    onSignInRequested: AIAssistantService.signInAndRetry()

    // The same sending rule and waiting-image list as the notch page's field.
    AssistantPageModel {
        id: footerModel
        service: AIAssistantService
        busy: AIAssistantService.isBusy
        signInState: AnswerAuth.state
        signInFailure: AnswerAuth.failureMessage
        messages: ChatHistoryStore.messagesModel
        prompt: followUpField.text
        attachmentCount: AIAssistantService.attachmentCount
        fieldFocused: followUpField.activeFocus
    }

    SlashKeyHandling {
        id: slash
        text: followUpField.text
        onCompleted: command => followUpField.text = command
    }

    footer: Column {
        width: parent ? parent.width : 0
        topPadding: 9
        bottomPadding: 9
        leftPadding: 12
        rightPadding: 12
        spacing: 8

        SlashSuggestionList {
            objectName: "followUpSuggestions"
            visible: slash.count > 0
            items: slash.items
            selected: slash.index
            onPicked: command => followUpField.text = command
        }

        AttachmentStrip {
            objectName: "followUpAttachments"
            visible: AIAssistantService.attachmentCount > 0
            width: parent.width - 24
            height: visible ? 52 : 0
            size: 44
            model: footerModel.attachments
            onRemoveRequested: attachmentID => AIAssistantService.removeAttachment(attachmentID)
        }

        Row {
            spacing: 8
            width: parent.width - 24

            TextField {
                id: followUpField
                objectName: "followUpField"
                width: parent.width - parent.spacing - 26
                height: 30
                leftPadding: 12
                rightPadding: 12
                placeholderText: "Tanya lanjutan… (Ctrl+V gambar · /compact)"
                placeholderTextColor: Qt.rgba(1, 1, 1, 0.4)
                color: "white"
                selectionColor: Qt.rgba(popup.fieldCyan.r, popup.fieldCyan.g, popup.fieldCyan.b, 0.45)
                selectedTextColor: "white"
                font.pixelSize: 12
                selectByMouse: true
                // The popup takes the keyboard only for a click in its field.
                activeFocusOnPress: true
                activeFocusOnTab: false
                background: Rectangle {
                    radius: height / 2
                    color: Qt.rgba(1, 1, 1, 0.1)
                }

                PasteInterceptor.active: activeFocus
                PasteInterceptor.onImagePasted: data => AIAssistantService.attachImage(data)
                Keys.onPressed: event => {
                    if (slash.handleKey(event.key))
                        event.accepted = true
                }
                onAccepted: popup.send()
            }

            Item {
                objectName: "followUpSend"
                width: 26
                height: 30
                Accessible.role: Accessible.Button
                Accessible.name: "Kirim"
                Accessible.onPressAction: popup.send()

                SymbolIcon {
                    anchors.centerIn: parent
                    symbol: "arrow.up.circle.fill"
                    size: 24
                    color: footerModel.canSend ? popup.fieldCyan : Qt.rgba(1, 1, 1, 0.25)
                }
                TapHandler {
                    gesturePolicy: TapHandler.ReleaseWithinBounds
                    onTapped: popup.send()
                }
            }
        }
    }
}
