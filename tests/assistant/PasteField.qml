import QtQuick
import QtQuick.Controls.Basic
import Notchora.Assistant

// A question field with image paste, recording the keys that reach it.
TextField {
    id: field

    property bool pasteActive: true
    property int keysSeen: 0

    width: 300
    height: 40
    PasteInterceptor.active: pasteActive
    Keys.onPressed: event => {
        ++keysSeen
        event.accepted = false
    }
}
