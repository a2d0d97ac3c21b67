import QtQuick
import QtQuick.Controls.Basic
import QtTest
import Notchora.Assistant

// The slash suggestions under a question field, in a real window.
Item {
    id: root
    width: 400
    height: 200

    readonly property var both: [{ command: "/compact", detail: "Ringkas percakapan lama agar muat" },
                                 { command: "/new", detail: "Mulai percakapan baru" }]

    Component {
        id: listComponent
        SlashSuggestionList {}
    }

    // A question field wired as the notch page and the popup wire theirs.
    Component {
        id: inputComponent
        Item {
            property alias field: field
            property alias handling: handling
            property alias list: list
            property alias nextField: nextField
            width: 300
            height: 180

            TextField {
                id: field
                width: 300
                height: 32
                Keys.onPressed: event => { event.accepted = handling.handleKey(event.key) }
            }
            SlashKeyHandling {
                id: handling
                text: field.text
                onCompleted: command => { field.text = command }
            }
            SlashSuggestionList {
                id: list
                y: 38
                items: handling.items
                selected: handling.index
                onPicked: command => { field.text = command }
            }
            TextField {
                id: nextField
                y: 140
                width: 300
                height: 32
            }
        }
    }

    SignalSpy {
        id: pickSpy
        signalName: "picked"
    }

    TestCase {
        name: "SlashSuggestionList"
        when: windowShown

        function makeList(items, selected) {
            const list = createTemporaryObject(listComponent, root, { items: items, selected: selected })
            verify(list)
            pickSpy.clear()
            pickSpy.target = list
            return list
        }

        function isHighlighted(row) {
            return row.color.a > 0
        }

        function test_rows() {
            const list = makeList(root.both, 0)
            const compact = findChild(list, "slash-/compact")
            const fresh = findChild(list, "slash-/new")
            verify(compact && fresh)
            compare(list.width, 260)
            compare(compact.height, 28)
            // Padded 4 all round, 2 between rows.
            compare(fresh.mapToItem(list, 0, 0).y - compact.mapToItem(list, 0, 0).y, 30)
            compare(list.height, 4 + 28 + 2 + 28 + 4)
        }

        function test_highlightIsClamped_data() {
            return [{ tag: "first", items: root.both, selected: 0, highlighted: "/compact" },
                    { tag: "second", items: root.both, selected: 1, highlighted: "/new" },
                    { tag: "past the end", items: root.both, selected: 5, highlighted: "/new" },
                    { tag: "shrunk to one", items: [root.both[1]], selected: 1, highlighted: "/new" }]
        }

        function test_highlightIsClamped(row) {
            const list = makeList(row.items, row.selected)
            for (const item of row.items) {
                const shown = findChild(list, "slash-" + item.command)
                compare(isHighlighted(shown), item.command === row.highlighted, item.command)
            }
        }

        function test_clickPicksTheRow() {
            const list = makeList(root.both, 0)
            mouseClick(findChild(list, "slash-/new"))
            compare(pickSpy.count, 1)
            compare(pickSpy.signalArguments[0][0], "/new")
        }

        function test_emptyListFadesOut() {
            const list = makeList(root.both, 0)
            verify(list.visible)
            list.items = []
            tryCompare(list, "visible", false)
            list.items = root.both
            tryCompare(list, "opacity", 1)
        }

        function highlightedCommand(list) {
            for (const item of list.items) {
                if (isHighlighted(findChild(list, "slash-" + item.command)))
                    return item.command
            }
            return ""
        }

        function test_keysOnARealField() {
            const input = createTemporaryObject(inputComponent, root)
            input.field.forceActiveFocus()
            keyClick("/")
            compare(input.field.text, "/")
            compare(input.list.items.length, 2)
            compare(highlightedCommand(input.list), "/compact")
            keyClick(Qt.Key_Down)
            compare(highlightedCommand(input.list), "/new")
            keyClick(Qt.Key_Down)
            compare(highlightedCommand(input.list), "/new")
            keyClick(Qt.Key_Up)
            compare(highlightedCommand(input.list), "/compact")
            keyClick(Qt.Key_Tab)
            compare(input.field.text, "/compact")
            verify(input.field.activeFocus)
            tryCompare(input.list, "visible", false)
            // Typing again starts the highlight over.
            input.field.text = "/"
            keyClick(Qt.Key_Down)
            keyClick(Qt.Key_Backspace)
            keyClick("/")
            compare(highlightedCommand(input.list), "/compact")
        }

        function test_keysWithoutSuggestionsStayTheField() {
            const input = createTemporaryObject(inputComponent, root)
            input.field.forceActiveFocus()
            keyClick("a")
            keyClick("b")
            keyClick(Qt.Key_Left)
            compare(input.field.cursorPosition, 1)
            keyClick(Qt.Key_Tab)
            verify(input.nextField.activeFocus)
        }

        function test_clickPutsTheCommandInTheField() {
            const input = createTemporaryObject(inputComponent, root)
            input.field.forceActiveFocus()
            keyClick("/")
            // Rows take clicks once the list has faded in.
            tryCompare(input.list, "opacity", 1)
            mouseClick(findChild(input.list, "slash-/new"))
            compare(input.field.text, "/new")
            tryCompare(input.list, "visible", false)
        }
    }
}
