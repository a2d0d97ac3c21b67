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

        function makeStrip(count) {
            const strip = createTemporaryObject(stripComponent, root,
                                                { model: Fixture.attachmentModel(count), size: 44 })
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
        function test_removeAsksForThatAttachment() {
            const strip = makeStrip(3)
            const button = part(strip, 1, "removeButton")
            compare(button.Accessible.name, "Hapus gambar")
            mouseClick(button)
            compare(removeSpy.count, 1)
            compare(removeSpy.signalArguments[0][0], idOf(strip, 1))
            // Asking is all the strip does: the rows follow the model.
            compare(strip.count, 3)
            strip.model = Fixture.attachmentModel(1)
            compare(strip.count, 1)
        }
    }
}
