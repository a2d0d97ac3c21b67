import QtQuick
import QtQuick.Controls.Basic
import QtTest
import Notchora.Assistant
import NotchoraTest

// Ctrl+V on a real text field: an image on the clipboard is taken by the interceptor, any
// other paste and any other chord reach the field as if nothing were there.
Item {
    id: root
    width: 400
    height: 100

    Component {
        id: fieldComponent
        TextField {
            property int keysSeen: 0 // presses of V that reached the field
            property var pasted: []
            width: 300
            height: 40
            PasteInterceptor.onImagePasted: data => pasted.push(data)
            Keys.onPressed: event => {
                if (event.key === Qt.Key_V)
                    ++keysSeen
                event.accepted = false
            }
        }
    }

    TestCase {
        name: "PasteInterceptor"
        when: windowShown

        // `text`: what the field shows after the key, when that is not the field's own business.
        function test_ctrlV_data() {
            const ctrl = Qt.ControlModifier
            return [{ tag: "image, ctrl+v", keys: ctrl, intercepted: true, text: "" },
                    { tag: "image, ctrl+v on the keypad", keys: ctrl | Qt.KeypadModifier,
                      intercepted: true, text: "" },
                    { tag: "image, ctrl+shift+v", keys: ctrl | Qt.ShiftModifier, text: "" },
                    { tag: "image, ctrl+alt+v", keys: ctrl | Qt.AltModifier },
                    { tag: "image, v alone", keys: Qt.NoModifier, text: "v" },
                    { tag: "text and image: the text", offered: "hello", keys: ctrl, text: "hello" },
                    { tag: "inactive", inactive: true, keys: ctrl, text: "" }]
        }
        function test_ctrlV(row) {
            Fixture.offerImage(row.offered || "")
            const field = createTemporaryObject(fieldComponent, root)
            field.PasteInterceptor.active = !row.inactive
            field.forceActiveFocus()
            verify(field.activeFocus)
            keyClick(Qt.Key_V, row.keys)
            compare(field.pasted.length, row.intercepted ? 1 : 0)
            if (row.intercepted)
                verify(Fixture.isOfferedImage(field.pasted[0]))
            // A key that is not intercepted reaches the field's own handlers.
            compare(field.keysSeen, row.intercepted ? 0 : 1)
            if (row.text !== undefined)
                compare(field.text, row.text)
        }
    }
}
