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

        function test_removeAsksForThatAttachment() {
            const strip = createTemporaryObject(stripComponent, root,
                                                { model: Fixture.attachmentModel(3), size: 44 })
            removeSpy.target = strip
            const second = strip.model.data(strip.model.index(1, 0), Qt.UserRole + 1)
            const button = findChild(findChild(strip, "attachment-" + second), "removeButton")
            compare(button.Accessible.name, "Hapus gambar")
            mouseClick(button)
            compare(removeSpy.count, 1)
            compare(removeSpy.signalArguments[0][0], second)
            // Asking is all the strip does: the rows follow the model.
            compare(strip.count, 3)
            strip.model = Fixture.attachmentModel(1)
            compare(strip.count, 1)
        }
    }
}
