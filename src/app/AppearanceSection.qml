import QtQuick
import Notchora.App

SettingsSection {
    id: section

    required property SettingsViewModel settings

    objectName: "section-appearance"
    title: "Tampilan"

    SliderRow {
        objectName: "animationSpeed"
        text: "Kecepatan animasi"
        from: 0.5
        to: 2.0
        value: section.settings.store.animationSpeed
        onCommitted: value => section.settings.store.animationSpeed = value
    }
    SliderRow {
        objectName: "widgetScale"
        text: "Ukuran widget"
        from: 0.8
        to: 1.3
        value: section.settings.store.widgetScale
        onCommitted: value => section.settings.store.widgetScale = value
    }
    SliderRow {
        objectName: "lipHeight"
        text: "Tinggi area karakter"
        from: 0
        to: 40
        stepSize: 1
        unit: "pt"
        value: section.settings.store.lipHeight
        onCommitted: value => section.settings.store.lipHeight = Math.round(value)
    }
    SliderRow {
        objectName: "hoverSensitivity"
        text: "Sensitivitas hover"
        from: 0
        to: 1
        lowLabel: "Dekat"
        highLabel: "Jauh"
        value: section.settings.store.hoverSensitivity
        onCommitted: value => section.settings.store.hoverSensitivity = value
    }
}
