import QtQuick
import QtTest
import Notchora.Assistant

// The slash suggestions under a question field, in a real window (the page's test clicks a
// row and keeps it on the page).
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

    TestCase {
        name: "SlashSuggestionList"
        when: windowShown

        function test_highlightIsClamped_data() {
            return [{ tag: "first", items: root.both, selected: 0, highlighted: "/compact" },
                    { tag: "second", items: root.both, selected: 1, highlighted: "/new" },
                    { tag: "past the end", items: root.both, selected: 5, highlighted: "/new" },
                    { tag: "shrunk to one", items: [root.both[1]], selected: 1, highlighted: "/new" }]
        }
        function test_highlightIsClamped(row) {
            const list = createTemporaryObject(listComponent, root,
                                               { items: row.items, selected: row.selected })
            for (const item of row.items)
                compare(findChild(list, "slash-" + item.command).color.a > 0,
                        item.command === row.highlighted, item.command)
        }
    }
}
