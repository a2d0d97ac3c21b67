import QtQuick
import QtQuick.Controls
import Notchora.App

SettingsSection {
    id: section

    required property SettingsViewModel settings

    objectName: "section-general"
    title: "Umum"

    ToggleRow {
        objectName: "moveWithSpaces"
        text: "Ikut pindah desktop (hilang saat geser, muncul di desktop baru)"
        checked: section.settings.store.moveWithSpaces
        onToggled: on => section.settings.store.moveWithSpaces = on
    }
    ToggleRow {
        objectName: "launchAtLogin"
        text: "Buka saat login"
        checked: section.settings.launchAtLogin
        onToggled: on => section.settings.setLaunchAtLogin(on)
    }
    Button {
        objectName: "quit"
        text: "Keluar dari Notchora"
        onClicked: section.settings.quit()
    }
    Caption {
        objectName: "launchError"
        visible: text !== ""
        text: section.settings.launchError
        color: "#d70015"
        opacity: 1
    }
}
