import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Notchora.App
import Notchora.Core

SettingsSection {
    id: section

    required property SettingsViewModel settings

    objectName: "section-updates"
    title: "Pembaruan"

    RowLayout {
        Layout.fillWidth: true

        Label {
            text: "Versi terpasang"
            Layout.fillWidth: true
        }
        Label {
            objectName: "currentVersion"
            text: section.settings.currentVersion
            opacity: 0.7
        }
    }
    ToggleRow {
        objectName: "autoCheck"
        text: "Periksa pembaruan otomatis"
        checked: section.settings.autoCheck
        onToggled: on => section.settings.autoCheck = on
    }
    StatusLine {
        objectName: "updateStatus"
        visible: text !== ""
        symbol: section.settings.updateStatusSymbol
        symbolColor: symbol === "checkmark.circle.fill" ? "#28a745" : symbol === "arrow.down.circle.fill" ? "#1a73e8" : label.color
        text: section.settings.updateStatusText
    }
    ColumnLayout {
        objectName: "updateOffer"
        visible: section.settings.updateAvailable
        spacing: 8
        Layout.fillWidth: true

        Caption {
            objectName: "releaseNotes"
            visible: text !== ""
            text: section.settings.releaseNotes
        }
        Caption {
            text: "Jalankan perintah ini di Terminal untuk memperbarui, atau unduh dari website:"
        }
        TextArea {
            objectName: "installCommand"
            text: section.settings.installCommand
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.WrapAnywhere
            font.family: "monospace"
            Layout.fillWidth: true
        }
        RowLayout {
            spacing: 8

            Button {
                objectName: "copyInstallCommand"
                text: "Salin perintah"
                onClicked: section.settings.copyInstallCommand()
            }
            Button {
                objectName: "openWebsite"
                text: "Buka website"
                onClicked: section.settings.openWebsite()
            }
        }
    }
    Button {
        id: checkNow
        objectName: "checkNow"
        text: "Periksa sekarang"
        contentItem: RowLayout {
            spacing: 6

            SymbolIcon {
                symbol: "arrow.triangle.2.circlepath"
                size: 16
                color: checkNow.palette.buttonText
                opacity: checkNow.enabled ? 1 : 0.4
            }
            Label {
                text: checkNow.text
                color: checkNow.palette.buttonText
                opacity: checkNow.enabled ? 1 : 0.4
            }
        }
        enabled: !section.settings.isChecking
        onClicked: section.settings.checkForUpdates()
    }
}
