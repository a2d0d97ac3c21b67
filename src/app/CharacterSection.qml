import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Notchora.App

SettingsSection {
    id: section

    required property SettingsViewModel settings
    readonly property var kinds: settings.director.kinds

    objectName: "section-characters"
    title: "Karakter"

    ToggleRow {
        objectName: "showCharacters"
        text: "Tampilkan karakter"
        checked: section.settings.showsCharacters
        onToggled: on => section.settings.setShowsCharacters(on)
    }
    ToggleRow {
        objectName: "randomCharacter"
        text: "Mode acak (ganti tiap 2–5 menit)"
        checked: section.settings.director.isRandom
        onToggled: on => section.settings.director.setRandom(on)
    }
    RowLayout {
        Layout.fillWidth: true
        spacing: 8

        Label {
            text: "Karakter"
            Layout.fillWidth: true
        }
        ComboBox {
            objectName: "characterPicker"
            model: section.kinds
            textRole: "name"
            currentIndex: {
                for (let i = 0; i < section.kinds.length; ++i) {
                    if (section.kinds[i].kind === section.settings.director.current)
                        return i
                }
                return -1
            }
            Layout.preferredWidth: 180
            onActivated: index => section.settings.pickCharacter(section.kinds[index].kind)
        }
    }
}
