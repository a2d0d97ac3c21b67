import QtQuick
import QtQuick.Controls
import QtQml.Models
import Notchora.Answer
import Notchora.Assistant

// The header's menu: where the popup goes, a new conversation, and the history.
Menu {
    id: menu

    required property AnswerPopupController controller
    // How many threads "Riwayat" lists.
    readonly property int threadLimit: 15

    signal newConversation
    signal selectThread(string threadID)
    signal clearHistory

    // Wide enough for "Bebas (posisi terakhir)" with its check box. The card's window is
    // too narrow for a history list beside the menu: it opens over the menu instead.
    width: 240
    cascade: false

    // Dark, like the card it opens over.
    palette.window: "#2c2c2e"
    palette.base: "#2c2c2e"
    palette.light: "#3a3a3c"
    palette.mid: "#48484a"
    palette.dark: "#8e8e93"
    palette.windowText: "white"
    palette.text: "white"
    palette.buttonText: "white"
    palette.brightText: "white"
    palette.highlight: "#0a84ff"
    palette.highlightedText: "white"

    MenuItem { text: "Posisi popup"; enabled: false }
    MenuItem {
        text: "Kanan (default)"
        checkable: true
        checked: menu.controller.position === "right"
        onTriggered: menu.controller.position = "right"
    }
    MenuItem {
        text: "Kiri"
        checkable: true
        checked: menu.controller.position === "left"
        onTriggered: menu.controller.position = "left"
    }
    MenuItem {
        text: "Bebas (posisi terakhir)"
        checkable: true
        checked: menu.controller.position === "free"
        onTriggered: menu.controller.position = "free"
    }
    MenuSeparator {}
    MenuItem {
        text: "Percakapan baru"
        onTriggered: menu.newConversation()
    }
    Menu {
        id: history
        title: "Riwayat"
        palette: menu.palette

        MenuItem {
            text: "Belum ada riwayat"
            enabled: false
            visible: threads.count === 0
            height: visible ? implicitHeight : 0
        }
        Instantiator {
            id: threads
            // What the items need of the menu, reachable from their own component.
            readonly property int limit: menu.threadLimit
            signal picked(string threadID)
            onPicked: threadID => menu.selectThread(threadID)
            model: ChatHistoryStore.threadsModel
            delegate: MenuItem {
                required property int index
                required property string threadID
                required property string title
                required property bool isCurrent
                text: title
                checkable: true
                checked: isCurrent
                visible: index < threads.limit
                height: visible ? implicitHeight : 0
                onTriggered: threads.picked(threadID)
            }
            onObjectAdded: (index, object) => history.insertItem(index + 1, object)
            onObjectRemoved: (index, object) => history.removeItem(object)
        }
        MenuSeparator { visible: threads.count > 0; height: visible ? implicitHeight : 0 }
        MenuItem {
            text: "Hapus semua riwayat"
            visible: threads.count > 0
            height: visible ? implicitHeight : 0
            onTriggered: menu.clearHistory()
        }
    }
}
