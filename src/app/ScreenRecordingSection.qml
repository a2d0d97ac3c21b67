import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Notchora.App

SettingsSection {
    id: section

    required property SettingsViewModel settings

    objectName: "section-recording"
    title: "Perekaman layar"

    Label {
        text: "Izin merekam layar (untuk AI & Redframe)"
        wrapMode: Text.Wrap
        Layout.fillWidth: true
    }
    StatusLine {
        objectName: "screenAccess"
        symbol: section.settings.screenAccess ? "checkmark.circle.fill" : "exclamationmark.triangle.fill"
        symbolColor: section.settings.screenAccess ? "#28a745" : "#e0a000"
        text: section.settings.screenAccess ? "Diizinkan untuk versi app ini" : "Belum diizinkan untuk versi app ini"
    }
    Caption {
        visible: !section.settings.screenAccess
        text: "Notchora memotret layar lewat server X. Tanpa tampilan X yang bisa dibuka (misalnya di sesi Wayland murni atau tanpa DISPLAY), screenshot untuk AI dan Redframe tidak bisa diambil. Jalankan Notchora di sesi X11, lalu tekan “Periksa ulang”."
    }
    RowLayout {
        spacing: 8

        Button {
            objectName: "openSystemSettings"
            visible: section.settings.canOpenSystemSettings
            text: "Buka Pengaturan Sistem"
            onClicked: section.settings.openSystemSettings()
        }
        Button {
            objectName: "recheckScreenAccess"
            text: "Periksa ulang"
            onClicked: section.settings.recheckScreenAccess()
        }
    }
    ToggleRow {
        objectName: "showInCapture"
        text: "Tampilkan Notchora di screenshot & rekaman layar"
        checked: !section.settings.store.hideFromCapture
        onToggled: on => section.settings.store.hideFromCapture = !on
    }
    Caption {
        text: "Mati (default): widget dan popup AI tidak terlihat di screenshot/rekaman. Nyalakan saat merekam video dokumentasi. Screenshot yang dikirim ke AI tetap tanpa Notchora."
    }
}
