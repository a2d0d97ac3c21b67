import QtQuick
import QtQuick.Controls
import Notchora.App

// The settings window: one scrolling form in the desktop's own controls.
ApplicationWindow {
    id: window

    required property SettingsViewModel settings

    width: 480
    height: 800
    minimumWidth: 420
    minimumHeight: 320
    title: "Pengaturan Notchora"

    ScrollView {
        id: scroller
        objectName: "settingsScroller"
        anchors.fill: parent
        contentWidth: availableWidth

        SettingsView {
            width: scroller.availableWidth
            settings: window.settings
        }
    }
}
