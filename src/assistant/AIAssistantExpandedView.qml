import QtQuick
import QtQuick.Controls.Basic
import Notchora.Core
import Notchora.Notch
import Notchora.Answer
import Notchora.Assistant

// The assistant's page in the notch tray: sign-in and question status (or the images waiting
// to go), the question field with the include-screen switch and the send button, and three
// one-click questions about the screen. Answers show in the popup, never here.
Item {
    id: page

    // Handed in by the tray; its defaults are those of a page shown on its own.
    property widgetEnvironment environment
    readonly property NotchViewModel notch: environment.notchViewModel as NotchViewModel
    // The field lets go of the keyboard as soon as the page is out of sight.
    readonly property bool onShow: notch === null
                                   || (notch.isExpanded && notch.store.activeModuleID === "assistant")
    readonly property color cyan: "#32d2f5"
    readonly property alias field: field

    function send() {
        if (!pageModel.canSend)
            return
        AIAssistantService.ask(field.text, "ask", pageModel.attachScreen, false, true)
        field.text = ""
        field.focus = false
    }

    function askAbout(mode: string) {
        AIAssistantService.ask("", mode, true, false, false)
    }

    implicitWidth: 420
    implicitHeight: column.implicitHeight

    onOnShowChanged: if (!onShow) field.focus = false

    AssistantPageModel {
        id: pageModel
        service: AIAssistantService
        busy: AIAssistantService.isBusy
        signInState: AnswerAuth.state
        signInFailure: AnswerAuth.failureMessage
        messages: ChatHistoryStore.messagesModel
        prompt: field.text
        attachmentCount: AIAssistantService.attachmentCount
        fieldFocused: field.activeFocus
        notchViewModel: page.notch
    }

    SlashKeyHandling {
        id: slash
        text: field.text
        onCompleted: command => field.text = command
    }

    // A click anywhere else on the page leaves the field.
    TapHandler {
        onTapped: field.focus = false
    }

    Column {
        id: column
        width: parent.width
        spacing: 8

        Item {
            id: statusRow
            objectName: "statusRow"
            visible: AIAssistantService.attachmentCount === 0
            width: parent.width
            height: 16

            Rectangle {
                id: dot
                objectName: "statusDot"
                x: 4
                anchors.verticalCenter: parent.verticalCenter
                width: 7
                height: 7
                radius: 3.5
                color: pageModel.statusColor
            }
            Text {
                id: statusText
                objectName: "statusText"
                anchors.left: dot.right
                anchors.leftMargin: 6
                anchors.verticalCenter: parent.verticalCenter
                // The status keeps its room; the trailing button gives way first.
                width: Math.min(implicitWidth, statusRow.width - x - 4)
                text: pageModel.statusText
                color: Qt.rgba(1, 1, 1, 0.6)
                font.pixelSize: 11
                elide: Text.ElideRight
                maximumLineCount: 1

                HoverHandler { id: statusHover }
                NotchToolTip {
                    visible: statusHover.hovered && pageModel.statusToolTip !== ""
                    text: pageModel.statusToolTip
                }
            }
            Text {
                id: trailing
                objectName: "trailingAction"
                visible: pageModel.trailingAction !== AssistantPageModel.None
                anchors.right: parent.right
                anchors.rightMargin: 4
                anchors.verticalCenter: parent.verticalCenter
                width: Math.min(implicitWidth,
                                Math.max(0, statusRow.width - statusText.x - statusText.width - 12))
                text: pageModel.trailingText
                color: page.cyan
                opacity: trailingHover.hovered ? 0.8 : 1
                font.pixelSize: 11
                font.weight: Font.DemiBold
                elide: Text.ElideRight
                Accessible.role: Accessible.Button
                Accessible.name: text
                Accessible.onPressAction: page.runTrailingAction()

                HoverHandler {
                    id: trailingHover
                    cursorShape: Qt.PointingHandCursor
                }
                TapHandler {
                    onTapped: page.runTrailingAction()
                }
            }
        }

        AttachmentStrip {
            objectName: "attachmentStrip"
            visible: AIAssistantService.attachmentCount > 0
            x: 4
            width: parent.width - 8
            height: 36
            size: 30
            model: pageModel.attachments
            onRemoveRequested: attachmentID => AIAssistantService.removeAttachment(attachmentID)
        }

        Row {
            id: inputRow
            objectName: "inputRow"
            width: parent.width
            height: 32
            spacing: 8

            TextField {
                id: field
                objectName: "questionField"
                width: inputRow.width - 2 * inputRow.spacing - includeScreen.width - sendButton.width
                height: 32
                anchors.verticalCenter: parent.verticalCenter
                leftPadding: 12
                rightPadding: 12
                placeholderText: "Tanya apa saja… (Ctrl+V gambar · /compact)"
                placeholderTextColor: Qt.rgba(1, 1, 1, 0.4)
                color: "white"
                selectionColor: Qt.rgba(page.cyan.r, page.cyan.g, page.cyan.b, 0.45)
                selectedTextColor: "white"
                font.pixelSize: 13
                selectByMouse: true
                // The panel takes the keyboard only for a click in the field, never on its own.
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
                    else if (event.key === Qt.Key_Escape) {
                        field.focus = false
                        event.accepted = true
                    }
                }
                onAccepted: page.send()
            }

            IncludeScreenSwitch {
                id: includeScreen
                objectName: "includeScreenSwitch"
                anchors.verticalCenter: parent.verticalCenter
                isOn: pageModel.attachScreen
                accessibleName: pageModel.attachScreenLabel
                onToggled: pageModel.attachScreen = !pageModel.attachScreen
            }

            Item {
                id: sendButton
                objectName: "sendButton"
                width: 30
                height: 32
                anchors.verticalCenter: parent.verticalCenter
                Accessible.role: Accessible.Button
                Accessible.name: "Kirim"
                Accessible.onPressAction: page.send()

                SymbolIcon {
                    objectName: "sendIcon"
                    anchors.centerIn: parent
                    symbol: "arrow.up.circle.fill"
                    size: 30
                    color: pageModel.canSend ? page.cyan : Qt.rgba(1, 1, 1, 0.25)
                }
                HoverHandler {
                    cursorShape: pageModel.canSend ? Qt.PointingHandCursor : Qt.ArrowCursor
                }
                TapHandler {
                    gesturePolicy: TapHandler.ReleaseWithinBounds
                    onTapped: page.send()
                }
            }
        }

        Row {
            id: quickActions
            objectName: "quickActions"
            width: parent.width
            spacing: 8

            Repeater {
                model: pageModel.quickActions
                delegate: QuickActionButton {
                    required property var modelData
                    objectName: "quick-" + modelData.mode
                    width: (quickActions.width - 2 * quickActions.spacing) / 3
                    title: modelData.title
                    symbol: modelData.symbol
                    accessibleName: modelData.accessibleName
                    enabled: !pageModel.busy
                    onActivated: page.askAbout(modelData.mode)
                }
            }
        }
    }

    // Over the quick actions, below the field; pulled up where the page ends so that it is
    // never cut off.
    SlashSuggestionList {
        id: suggestions
        objectName: "slashSuggestions"
        x: inputRow.x
        y: Math.max(0, Math.min(column.y + inputRow.y + 38, page.height - height))
        z: 10
        clip: true
        items: slash.items
        selected: slash.index
        onPicked: command => field.text = command
        Behavior on height { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }
    }

    HoverHint {
        objectName: "includeScreenHint"
        target: includeScreen
        isHovering: includeScreen.isHovering
        title: pageModel.attachScreenHintTitle
        detail: pageModel.attachScreenHintDetail
    }

    function runTrailingAction() {
        if (pageModel.trailingAction === AssistantPageModel.SignIn)
            AnswerAuth.signIn()
        else if (pageModel.trailingAction === AssistantPageModel.ShowAnswer)
            AIAssistantService.showAnswer()
    }
}
