import QtQuick
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

        function test_rows() {
            const list = makeList(root.both, 0)
            const compact = findChild(list, "slash-/compact")
            const fresh = findChild(list, "slash-/new")
            compare(list.width, 260)
            compare(compact.height, 28)
            // Padded 4 all round, 2 between rows.
            compare(fresh.mapToItem(list, 0, 0).y - compact.mapToItem(list, 0, 0).y, 30)
            compare(list.height, 4 + 28 + 2 + 28 + 4)
            mouseClick(fresh)
            compare(pickSpy.count, 1)
            compare(pickSpy.signalArguments[0][0], "/new")
        }

        function test_highlightIsClamped_data() {
            return [{ tag: "first", items: root.both, selected: 0, highlighted: "/compact" },
                    { tag: "second", items: root.both, selected: 1, highlighted: "/new" },
                    { tag: "past the end", items: root.both, selected: 5, highlighted: "/new" },
                    { tag: "shrunk to one", items: [root.both[1]], selected: 1, highlighted: "/new" }]
        }

        function test_highlightIsClamped(row) {
            const list = makeList(row.items, row.selected)
            for (const item of row.items)
                compare(findChild(list, "slash-" + item.command).color.a > 0,
                        item.command === row.highlighted, item.command)
        }

        function test_emptyListFadesOut() {
            const list = makeList(root.both, 0)
            verify(list.visible)
            list.items = []
            tryCompare(list, "visible", false)
            list.items = root.both
            tryCompare(list, "opacity", 1)
        }
    }
}
