import QtQuick
import Notchora.App
import Notchora.Screenshot

SettingsSection {
    id: section

    required property SettingsViewModel settings

    objectName: "section-screenshot"
    title: "Screenshot"

    ToggleRow {
        objectName: "redframe"
        text: "Mode Redframe (beri kotak merah setelah memilih area)"
        checked: section.settings.redframe
        onToggled: on => section.settings.redframe = on
    }
    SliderRow {
        objectName: "boxThickness"
        text: "Ketebalan kotak"
        from: 1
        to: 14
        stepSize: 1
        unit: "pt"
        valueWidth: 40
        value: section.settings.boxThickness
        onCommitted: value => section.settings.boxThickness = Math.round(value)
    }
    Caption {
        objectName: "redframeHelp"
        // The keys as this desktop writes them, and only while they are ours.
        readonly property string areaKey: ScreenshotShortcuts.areaHint !== "" ? " " + ScreenshotShortcuts.areaHint : ""
        readonly property string panelKey: ScreenshotShortcuts.panelHint !== "" ? " (" + ScreenshotShortcuts.panelHint + ")" : ""
        text: "Nyala: setelah kamu memilih area (tombol “Area Langsung”" + areaKey + " atau menu Screenshot Area), muncul editor untuk menyeret kotak merah, lalu Salin atau Simpan. Ketebalan juga bisa diubah di editor. Tombol “Screenshot”" + panelKey + " memakai panel bawaan desktop yang tidak bisa diberi anotasi."
    }
    ToggleRow {
        objectName: "globalShortcuts"
        text: "Pintasan keyboard global untuk Screenshot dan Area Langsung"
        checked: section.settings.globalShortcuts
        onToggled: on => section.settings.globalShortcuts = on
    }
}
