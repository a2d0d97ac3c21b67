import QtQuick
import Notchora.App

SettingsSection {
    id: section

    required property SettingsViewModel settings

    objectName: "section-modules"
    title: "Modul"

    Repeater {
        model: section.settings.modules

        delegate: ToggleRow {
            required property var modelData
            objectName: "module-" + modelData.id
            text: modelData.name
            symbol: modelData.iconSystemName
            checked: section.settings.store.enabledModuleIDs.indexOf(modelData.id) >= 0
            onToggled: on => section.settings.setModuleEnabled(modelData.id, on)
        }
    }
}
