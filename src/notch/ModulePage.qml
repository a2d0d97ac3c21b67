import QtQuick
import Notchora.Core

// Hosts one module view by its component URL and hands it the tray's environment. Every
// module view declares `property widgetEnvironment environment`.
Item {
    id: page

    required property url source
    required property widgetEnvironment environment
    property real horizontalMargin: 0
    readonly property Item view: loader.item as Item

    Binding {
        target: loader.item
        when: loader.status === Loader.Ready
        property: "environment"
        value: page.environment
    }

    Loader {
        id: loader
        anchors.fill: parent
        anchors.leftMargin: page.horizontalMargin
        anchors.rightMargin: page.horizontalMargin
        source: page.source
    }
}
