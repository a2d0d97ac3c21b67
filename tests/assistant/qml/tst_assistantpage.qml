import QtQuick
import QtTest
import Notchora.Core
import Notchora.Answer
import Notchora.Assistant
import NotchoraTest

Item {
    id: root
    width: 420
    height: 126

    Component {
        id: pageComponent
        AIAssistantExpandedView {
            width: 420
            height: 126
        }
    }

    TestCase {
        name: "AssistantPage"
        when: windowShown

        function init() {
            Fixture.releaseCaptures()
            Fixture.setStoredAttachScreen(false)
            tryVerify(() => !AIAssistantService.isBusy)
            Fixture.clearAttachments()
            Fixture.clearToolLog()
        }
        function makePage() {
            const page = createTemporaryObject(pageComponent, root)
            verify(page)
            return page
        }
        // The visible items of `item` reaching outside `page`.
        function outside(page, item, into) {
            if (!item.visible || item.opacity === 0)
                return into
            const p = item.mapToItem(page, 0, 0)
            if (item.width > 0 && item.height > 0 && (p.x < -0.5 || p.y < -0.5
                    || p.x + item.width > page.width + 0.5 || p.y + item.height > page.height + 0.5))
                into.push((item.objectName || item.toString()) + " at " + p.x + "," + p.y)
            for (let i = 0; i < item.children.length; ++i)
                outside(page, item.children[i], into)
            return into
        }
        function sameColor(actual, expected) {
            for (const channel of ["r", "g", "b", "a"])
                fuzzyCompare(actual[channel], expected[channel], 0.01, channel)
        }
        function typeIn(page, text) {
            const field = findChild(page, "questionField")
            mouseClick(field)
            verify(field.activeFocus)
            for (const c of text)
                keyClick(c)
            return field
        }
        function paste(page, images) {
            for (let i = 0; i < images; ++i) {
                Fixture.offerImage()
                typeIn(page, "")
                keyClick(Qt.Key_V, Qt.ControlModifier)
            }
            tryCompare(AIAssistantService, "attachmentCount", images)
        }
        function test_nothingIsCutOff_data() {
            return [{ tag: "status", images: 0 }, { tag: "images", images: 2 }]
        }
        function test_nothingIsCutOff(row) {
            const page = makePage()
            paste(page, row.images)
            // Pasted images take the status line's place, and can be sent alone.
            compare([findChild(page, "statusRow").visible, findChild(page, "attachmentStrip").visible],
                    [row.images === 0, row.images > 0])
            sameColor(findChild(page, "sendIcon").color, row.images > 0 ? page.cyan : Qt.rgba(1, 1, 1, 0.25))
            typeIn(page, "/")
            tryCompare(findChild(page, "slashSuggestions"), "opacity", 1)
            // The strip moves the row down: hover only once the page is laid out again.
            verify(waitForItemPolished(findChild(page, "inputRow").parent))
            mouseMove(page, 1, 1)
            mouseMove(findChild(page, "includeScreenSwitch"))
            const hint = findChild(page, "includeScreenHint")
            tryCompare(hint, "opacity", 1)
            verify(!hint.enabled) // the card never takes the pointer from the switch
            const cut = outside(page, page, [])
            compare(cut.length, 0, cut.join("; "))
        }
        function test_removeButtonDropsThatImage() {
            const page = makePage()
            paste(page, 3)
            const strip = findChild(page, "attachmentStrip")
            // The row's cell comes once the strip has laid it out.
            const second = () => strip.model.data(strip.model.index(1, 0), Qt.UserRole + 1)
            tryVerify(() => findChild(strip, "attachment-" + second()) !== null)
            mouseClick(findChild(findChild(strip, "attachment-" + second()), "removeButton"))
            tryCompare(strip, "count", 2)
        }
        // With an image on the clipboard: the chords that take it, and the keys that reach the
        // field as if it were not there (a paste with text beside the image is a text paste).
        function test_ctrlV_data() {
            const ctrl = Qt.ControlModifier
            return [{ tag: "ctrl+v", keys: ctrl, intercepted: true, text: "" },
                    { tag: "ctrl+v, keypad", keys: ctrl | Qt.KeypadModifier, intercepted: true },
                    { tag: "ctrl+shift+v", keys: ctrl | Qt.ShiftModifier, text: "" },
                    { tag: "ctrl+alt+v", keys: ctrl | Qt.AltModifier },
                    { tag: "v alone", keys: Qt.NoModifier, text: "v" },
                    { tag: "text beside the image", offered: "hello", keys: ctrl, text: "hello" }]
        }
        function test_ctrlV(row) {
            const page = makePage()
            Fixture.offerImage(row.offered || "")
            const field = typeIn(page, "")
            pasteSpy.target = field.PasteInterceptor
            pasteSpy.clear()
            keyClick(Qt.Key_V, row.keys)
            compare(pasteSpy.count, row.intercepted ? 1 : 0)
            if (row.text !== undefined)
                compare(field.text, row.text)
        }
        function test_quickActionsAskAboutTheScreen_data() {
            return [{ tag: "answer_screen" }, { tag: "explain_screen" }, { tag: "summarize_screen" }]
        }
        function test_quickActionsAskAboutTheScreen(row) {
            const page = makePage()
            typeIn(page, "abaikan")
            mouseClick(findChild(page, "quick-" + row.tag))
            tryVerify(() => Fixture.toolLog().length > 0)
            verify(Fixture.toolLog().startsWith("-x -t jpg "), Fixture.toolLog())
            compare([AIAssistantService.lastMode, AIAssistantService.lastPrompt,
                     findChild(page, "questionField").text], [row.tag, "", "abaikan"])
        }
        function test_sendTakesTheScreenOnlyWhenAsked_data() {
            return [{ tag: "switch on, send button", screen: true, byReturn: false },
                    { tag: "switch off, Return", screen: false, byReturn: true }]
        }
        function test_sendTakesTheScreenOnlyWhenAsked(row) {
            const page = makePage()
            if (row.screen)
                mouseClick(findChild(page, "includeScreenSwitch"))
            const question = "Apa ini? (" + row.tag + ")"
            const field = typeIn(page, "  " + question)
            if (row.byReturn)
                keyClick(Qt.Key_Return)
            else
                mouseClick(findChild(page, "sendButton"))
            compare([AIAssistantService.lastPrompt, AIAssistantService.lastMode, field.text,
                     field.activeFocus], [question, "ask", "", false])
            tryVerify(() => !AIAssistantService.isBusy)
            compare(Fixture.toolLog().startsWith("-x -t jpg "), row.screen, Fixture.toolLog())
        }
        function test_aRunningQuestionDimsTheActions() {
            const page = makePage()
            Fixture.holdCaptures()
            mouseClick(findChild(page, "quick-explain_screen"))
            tryVerify(() => Fixture.toolLog().length > 0)
            const quick = findChild(page, "quick-answer_screen")
            verify(AIAssistantService.isBusy && !quick.enabled)
            // Neither a click on a quick action nor a typed question goes out meanwhile.
            Fixture.clearToolLog()
            mouseClick(quick)
            typeIn(page, "Lagi")
            keyClick(Qt.Key_Return)
            mouseClick(findChild(page, "sendButton"))
            compare([AIAssistantService.lastMode, Fixture.toolLog()], ["explain_screen", ""])
            Fixture.releaseCaptures()
            tryVerify(() => !AIAssistantService.isBusy)
            verify(quick.enabled && findChild(page, "trailingAction").visible)
        }
        function test_slashSuggestions() {
            const page = makePage()
            const list = findChild(page, "slashSuggestions")
            const field = typeIn(page, "/")
            tryCompare(list, "opacity", 1)
            keyClick(Qt.Key_Down)
            keyClick(Qt.Key_Tab)
            compare(field.text, "/new")
            tryCompare(list, "opacity", 0)
            // A click on a row fills the field and sends nothing.
            field.text = "/c"
            tryCompare(list, "opacity", 1)
            const lastPrompt = AIAssistantService.lastPrompt
            mouseClick(findChild(list, "slash-/compact"))
            compare([field.text, field.activeFocus, AIAssistantService.lastPrompt],
                    ["/compact", true, lastPrompt])
        }
        function test_fieldHoldsTheNotchOpen() {
            const notch = Fixture.notchViewModel()
            Fixture.selectModule("assistant")
            const page = makePage()
            page.environment.notchViewModel = notch
            const field = findChild(page, "questionField")
            // Showing the page does not take the keyboard; a click elsewhere on the page and
            // another page each let go of it.
            verify(!field.activeFocus && !notch.keepsExpanded)
            mouseClick(field)
            verify(notch.keepsExpanded)
            mouseClick(page, 200, 120)
            verify(!field.activeFocus && !notch.keepsExpanded)
            mouseClick(field)
            verify(notch.keepsExpanded)
            Fixture.selectModule("characters")
            verify(!field.activeFocus && !notch.keepsExpanded)
            // A page going away while its field is typing lets the notch fold.
            Fixture.selectModule("assistant")
            mouseClick(field)
            verify(notch.keepsExpanded)
            page.destroy()
            tryVerify(() => !notch.keepsExpanded)
        }
        // A long thread opens at its end, and the streaming answer brings a reader who scrolled
        // up back to the end at once, without a glide.
        function test_streamingKeepsTheEndInView() {
            const model = createTemporaryObject(longThread, root)
            const list = createTemporaryObject(conversationComponent, root, { model: model })
            tryVerify(() => list.count === 200 && list.atYEnd)
            list.movementStarted()
            list.positionViewAtBeginning()
            const from = list.contentY
            const path = []
            list.contentYChanged.connect(() => path.push(list.contentY))
            list.streamingText = "Sebagian jawaban"
            tryVerify(() => list.atYEnd && path.length > 0)
            const gliding = path.filter(y => y > from + 1 && y < (from + list.contentY) / 2)
            compare(gliding.length, 0, "glided: " + path.join(", "))
        }
        function test_popupAsksAndFollowsTheQuestion() {
            const popup = createTemporaryObject(popupComponent, root)
            AIAssistantService.ask("halo", "ask", false, false, false)
            compare([popup.statusText, popup.isBusy], ["Menunggu jawaban…", true])
            // The service's address is a closed port: the question fails, and says why.
            tryVerify(() => popup.failureText.length > 0)
            compare([popup.failureText, popup.statusText], [AIAssistantService.failureMessage, ""])
            const field = findChild(popup, "followUpField")
            popup.send()
            compare(AIAssistantService.isBusy, false, "nothing typed, nothing sent")
            field.text = "  lanjut  "
            popup.send()
            compare([field.text, AIAssistantService.lastPrompt, AIAssistantService.lastMode],
                    ["", "lanjut", "follow_up"])
        }
    }

    Component {
        id: longThread
        ListModel {
            Component.onCompleted: {
                for (let i = 0; i < 200; ++i)
                    append({ role: i % 2 ? "assistant" : "user", text: "Pesan nomor " + i,
                             hadImages: false, hasConfidence: false, confidence: 0 })
            }
        }
    }
    Component {
        id: conversationComponent
        ConversationView {
            width: 360
            height: 300
        }
    }
    SignalSpy {
        id: pasteSpy
        signalName: "imagePasted"
    }
    Component {
        id: popupComponent
        AnswerPopup {
            controller: AnswerPopupController
        }
    }
}
