import QtQuick
import QtQuick.Layouts
import Notchora.App

// Every setting of the program, in eight sections.
ColumnLayout {
    id: view

    required property SettingsViewModel settings

    spacing: 18

    ModulesSection {
        Layout.topMargin: 16
        settings: view.settings
    }
    CharacterSection { settings: view.settings }
    AppearanceSection { settings: view.settings }
    ScreenshotSection { settings: view.settings }
    ScreenRecordingSection { settings: view.settings }
    AssistantSection { settings: view.settings }
    GeneralSection { settings: view.settings }
    UpdateSection {
        Layout.bottomMargin: 20
        settings: view.settings
    }
}
