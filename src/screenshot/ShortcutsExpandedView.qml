import QtQuick
import Notchora.Core
import Notchora.Screenshot

// The shortcuts page of the notch tray: a section label and a two-column grid of tiles,
// each running one screenshot command. Works on its own too: the environment the tray
// hands to its pages defaults as it does outside the tray.
Item {
    id: page

    property widgetEnvironment environment

    function run(itemID: string) {
        if (itemID === "screenshot-panel")
            ScreenshotAction.openScreenshotPanel()
        else if (itemID === "screenshot-area")
            ScreenshotAction.captureArea()
    }

    implicitWidth: 560
    implicitHeight: column.implicitHeight

    Column {
        id: column
        width: parent.width
        spacing: 8

        Text {
            leftPadding: 4
            text: "Pintasan".toUpperCase()
            color: Qt.rgba(1, 1, 1, 0.5)
            font.pixelSize: 11
            font.weight: Font.DemiBold
        }

        Grid {
            id: grid
            objectName: "shortcutGrid"
            width: parent.width
            columns: 2
            columnSpacing: 10
            rowSpacing: 10
            readonly property real tileWidth: Math.max(10, (width - columnSpacing) / 2)

            ShortcutTile {
                id: panelTile
                width: grid.tileWidth
                itemID: "screenshot-panel"
                title: "Screenshot"
                subtitle: "Panel opsi: area, jendela, rekam layar"
                keyHint: ScreenshotShortcuts.panelHint
                symbol: ""
                paused: page.environment.animationsPaused
                onActivated: page.run(panelTile.itemID)
            }
            ShortcutTile {
                id: areaTile
                width: grid.tileWidth
                itemID: "screenshot-area"
                title: "Area Langsung"
                subtitle: "Pilih area (kotak merah bila Redframe nyala)"
                keyHint: ScreenshotShortcuts.areaHint
                symbol: "viewfinder"
                paused: page.environment.animationsPaused
                onActivated: page.run(areaTile.itemID)
            }
        }
    }
}
