import QtQuick
import Notchora.Screenshot

// The shortcuts page of the notch tray: a section label and a two-column grid of tiles,
// each running one screenshot command. Works on its own too: the values the tray hands
// to its pages default as they do outside the tray.
Item {
    id: page

    property var notchViewModel: null
    property real animationSpeed: 1.0
    property bool animationsPaused: false

    // Order, texts and hints of the tiles.
    readonly property var items: [
        {
            id: "screenshot-panel",
            title: "Screenshot",
            subtitle: "Panel opsi: area, jendela, rekam layar",
            keyHint: ScreenshotShortcuts.panelHint,
            symbol: ""
        },
        {
            id: "screenshot-area",
            title: "Area Langsung",
            subtitle: "Pilih area (kotak merah bila Redframe nyala)",
            keyHint: ScreenshotShortcuts.areaHint,
            symbol: "viewfinder"
        }
    ]

    function run(itemID) {
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

            Repeater {
                model: page.items
                ShortcutTile {
                    required property var modelData
                    width: Math.max(10, (grid.width - grid.columnSpacing) / 2)
                    item: modelData
                    paused: page.animationsPaused
                    onActivated: page.run(modelData.id)
                }
            }
        }
    }
}
