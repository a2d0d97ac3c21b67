import QtQuick
import QtTest
import Notchora.Core
import Notchora.Screenshot
import NotchoraTest

// The shortcuts page on its own, in a real window.
Item {
    id: root
    width: 560
    height: 200

    Component {
        id: pageComponent
        ShortcutsExpandedView { width: 560 }
    }

    TestCase {
        name: "ShortcutsPage"
        when: windowShown
        function texts(item, into) {
            if (item.hasOwnProperty("textFormat") && item.visible)
                into.push(item.text)
            for (let i = 0; i < item.children.length; ++i)
                texts(item.children[i], into)
            return into
        }
        // Headless, no key is ours: no tile names a shortcut that does nothing.
        function test_noHintWithoutKeys() {
            const shown = texts(createTemporaryObject(pageComponent, root), [])
            verify(shown.length > 0)
            verify(shown.join(" ").indexOf("Super") < 0, shown.join(" "))
        }
        function test_tilesRunTheirCommands_data() {
            // No desktop tool on the path: both run our own tool in area mode.
            return [{ tag: "area", tile: "tile-screenshot-area" },
                    { tag: "panel", tile: "tile-screenshot-panel" }]
        }
        function test_tilesRunTheirCommands(row) {
            const page = createTemporaryObject(pageComponent, root)
            ToolLog.clear()
            mouseClick(findChild(page, row.tile), 40, 40)
            tryVerify(() => ToolLog.text().length > 0)
        }
    }
}
