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
        id: testCase
        name: "ShortcutsPage"
        when: windowShown

        function texts(item, into) {
            if (item.hasOwnProperty("textFormat") && item.visible)
                into.push(item.text)
            for (let i = 0; i < item.children.length; ++i)
                texts(item.children[i], into)
            return into
        }

        function test_layout() {
            const page = createTemporaryObject(pageComponent, root)
            const panel = findChild(page, "tile-screenshot-panel")
            const area = findChild(page, "tile-screenshot-area")
            // Two columns of equal width, 10 points apart, on one row, 78 points high.
            compare([panel.width, panel.height, area.width, area.height], [275, 78, 275, 78])
            compare([area.x - panel.x, area.y - panel.y], [285, 0])
            const shown = texts(page, [])
            for (const text of ["PINTASAN", "Screenshot", "Panel opsi: area, jendela, rekam layar",
                                "Area Langsung", "Pilih area (kotak merah bila Redframe nyala)"])
                verify(shown.indexOf(text) >= 0, text)
            // Headless, no key is ours: no tile names a shortcut that does nothing.
            verify(shown.join(" ").indexOf("Super") < 0)
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
            const line = ToolLog.text().trim()
            verify(line.startsWith("-i -s " + ToolLog.shotsFolder() + "/Screenshot "), line)
        }

        function test_pressShrinksTheTile() {
            const page = createTemporaryObject(pageComponent, root)
            const tile = findChild(page, "tile-screenshot-area")
            const body = findChild(tile, "body")
            ToolLog.clear()
            mousePress(body, 40, 40)
            tryCompare(body, "scale", 0.97)
            // Released outside: no command, back to full size.
            mouseMove(page, 5, 195)
            mouseRelease(page, 5, 195)
            tryCompare(body, "scale", 1.0)
            compare(ToolLog.text(), "")
        }

        function test_iconStopsWhilePaused() {
            const page = createTemporaryObject(pageComponent, root)
            const icon = findChild(page, "screenshotIcon")
            const timeline = findChild(icon, "timeline")
            const start = icon.time
            tryVerify(() => icon.time !== start)

            page.environment.animationsPaused = true
            verify(!timeline.running)
            const frozen = icon.time
            page.environment.animationsPaused = false
            verify(timeline.running)
            tryVerify(() => icon.time !== frozen)
            verify(icon.time < 3.2)
        }
    }
}
