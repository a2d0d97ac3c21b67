import QtQuick

// Hosts one module view by its component URL and hands it the tray's environment: each
// value goes to the loaded view only if it declares a property of that name.
Item {
    id: page

    property url source
    property var environment: ({})
    property real horizontalMargin: 0
    readonly property Item view: loader.item

    function applyEnvironment() {
        const item = loader.item
        if (!item)
            return
        for (const key in environment) {
            if (key in item && item[key] !== environment[key])
                item[key] = environment[key]
        }
    }

    onEnvironmentChanged: applyEnvironment()

    Loader {
        id: loader
        anchors.fill: parent
        anchors.leftMargin: page.horizontalMargin
        anchors.rightMargin: page.horizontalMargin
        source: page.source
        onLoaded: page.applyEnvironment()
    }
}
