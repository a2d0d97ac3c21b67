import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Notchora.App

SettingsSection {
    id: section

    required property SettingsViewModel settings

    objectName: "section-assistant"
    title: "AI Assistant"

    RowLayout {
        spacing: 8
        Layout.fillWidth: true

        StatusLine {
            objectName: "account"
            symbol: section.settings.accountSymbol
            text: section.settings.accountText
            symbolColor: section.settings.isSignedIn ? "#28a745" : label.color
        }
        Button {
            objectName: "accountButton"
            text: section.settings.isSignedIn ? "Keluar" : "Masuk"
            onClicked: section.settings.isSignedIn ? section.settings.signOut() : section.settings.signIn()
        }
    }
    RowLayout {
        spacing: 8
        Layout.fillWidth: true

        Label {
            text: "Server URL"
            Layout.preferredWidth: 140
        }
        TextField {
            objectName: "baseURL"
            text: section.settings.baseURL
            placeholderText: section.settings.productionBaseURL
            inputMethodHints: Qt.ImhUrlCharactersOnly | Qt.ImhNoAutoUppercase
            selectByMouse: true
            Layout.fillWidth: true
            onEditingFinished: section.settings.baseURL = text
        }
    }
    Caption {
        objectName: "baseURLProblem"
        visible: text !== ""
        text: section.settings.baseURLProblem
        color: "#d70015"
        opacity: 1
    }
    RowLayout {
        spacing: 8
        Layout.fillWidth: true

        Label {
            text: "Posisi popup jawaban"
            wrapMode: Text.Wrap
            Layout.preferredWidth: 140
        }
        ComboBox {
            objectName: "popupPosition"
            model: section.settings.popupPositions
            textRole: "label"
            currentIndex: section.settings.popupPositionIndex
            Layout.fillWidth: true
            onActivated: index => section.settings.selectPopupPosition(index)
        }
    }
    ToggleRow {
        objectName: "attachScreen"
        text: "Sertakan screenshot layar pada pertanyaan teks"
        checked: section.settings.attachScreen
        onToggled: on => section.settings.attachScreen = on
    }
    ToggleRow {
        objectName: "saveHistory"
        text: "Simpan riwayat percakapan di perangkat"
        checked: section.settings.saveHistory
        onToggled: on => section.settings.saveHistory = on
    }
    Caption {
        text: "Riwayat disimpan di perangkat (teks saja, tanpa gambar); server tidak menyimpan apa pun. Tiap pertanyaan lanjutan membawa riwayatnya. Percakapan panjang (±24.000 karakter) diringkas otomatis oleh server, dan pesan terakhir tetap utuh."
    }
    Button {
        objectName: "clearHistory"
        text: "Hapus semua riwayat"
        palette.buttonText: "#d70015"
        onClicked: section.settings.clearHistory()
    }
    Caption {
        text: "Untuk mencabut akses app sepenuhnya, buka halaman Akun di website → Aplikasi terhubung."
    }
}
