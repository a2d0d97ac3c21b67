import QtQuick
import QtTest
import Notchora.Assistant
import NotchoraTest

// The strip of pending attachments in a real window.
Item {
    id: root
    width: 400
    height: 120

    Component {
        id: stripComponent
        AttachmentStrip {}
    }

    SignalSpy {
        id: removeSpy
        signalName: "removeRequested"
    }

    TestCase {
        name: "AttachmentStrip"
        when: windowShown

        function makeStrip(count, size) {
            const strip = createTemporaryObject(stripComponent, root,
                                                { model: Fixture.attachmentModel(count), size: size })
            verify(strip)
            removeSpy.clear()
            removeSpy.target = strip
            return strip
        }

        function idOf(strip, row) {
            return strip.model.data(strip.model.index(row, 0), Qt.UserRole + 1)
        }

        function part(strip, row, name) {
            return findChild(findChild(strip, "attachment-" + idOf(strip, row)), name)
        }

        function test_oneThumbnailPerAttachment_data() {
            return [{ tag: "none", count: 0 }, { tag: "one", count: 1 }, { tag: "four", count: 4 }]
        }

        function test_oneThumbnailPerAttachment(row) {
            const strip = makeStrip(row.count, 44)
            compare(strip.count, row.count)
            for (let i = 0; i < row.count; ++i) {
                const thumbnail = part(strip, i, "thumbnail")
                verify(thumbnail, "row " + i)
                tryCompare(thumbnail, "status", Image.Ready)
                // The provider serves the square at the size asked for.
                compare(thumbnail.implicitWidth, thumbnail.sourceSize.width)
                compare(thumbnail.implicitHeight, thumbnail.sourceSize.height)
            }
        }

        function test_removeButtonSitsOnTheCorner_data() {
            return [{ tag: "popup", size: 44, button: 0.34 * 44 },
                    { tag: "page", size: 30, button: 12 }]
        }

        function test_removeButtonSitsOnTheCorner(row) {
            const strip = makeStrip(1, row.size)
            const thumbnail = part(strip, 0, "thumbnail")
            const button = part(strip, 0, "removeButton")
            compare(thumbnail.width, row.size)
            compare(thumbnail.height, row.size)
            fuzzyCompare(button.width, row.button, 1e-9)
            // Its top-trailing corner 5 points right of and above the thumbnail's.
            fuzzyCompare(button.x + button.width, thumbnail.x + thumbnail.width + 5, 1e-9)
            compare(button.y, thumbnail.y - 5)
            compare(button.Accessible.name, "Hapus gambar")
        }

        function test_removeAsksForThatAttachment() {
            const strip = makeStrip(3, 44)
            mouseClick(part(strip, 1, "removeButton"))
            compare(removeSpy.count, 1)
            compare(removeSpy.signalArguments[0][0], idOf(strip, 1))
            // Asking is all the strip does: the rows follow the model.
            compare(strip.count, 3)
            Fixture.keepFirst(strip.model, 1)
            compare(strip.count, 1)
        }
    }
}
