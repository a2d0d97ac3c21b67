import QtQuick
import QtQuick.Controls.Basic
import Notchora.Assistant

// A question field with image paste, recording the keys that reach it.
TextField {
    id: field

    property bool pasteActive: true
    // Presses of V that reached the field, whatever the modifiers.
    property int keysSeen: 0

    width: 300
    height: 40
    PasteInterceptor.active: pasteActive
    Keys.onPressed: event => {
        if (event.key === Qt.Key_V)
            ++keysSeen
        event.accepted = false
    }
}
