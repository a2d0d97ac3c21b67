import QtQuick
import Notchora.Core
import Notchora.Notch

// The open tray's content: the corner bar with settings and quit, the pager and the dots.
Item {
    id: content

    required property NotchViewModel viewModel
    required property WidgetStore store
    required property widgetEnvironment environment
    required property real notchHeight
    readonly property alias pager: pager

    readonly property real buttonSide: Math.max(24, Math.min(32, notchHeight - 2))
    readonly property bool updateAvailable: UpdateChecker.status === UpdateChecker.Available

    Column {
        anchors.fill: parent
        spacing: 0

        Item {
            id: cornerBar
            width: parent.width
            height: content.notchHeight

            CornerButton {
                objectName: "settingsButton"
                anchors.left: parent.left
                anchors.leftMargin: 14
                anchors.verticalCenter: parent.verticalCenter
                side: content.buttonSide
                symbol: "gearshape.fill"
                tint: "white"
                badge: content.updateAvailable
                help: content.updateAvailable && UpdateChecker.release
                      ? "Pengaturan — update " + UpdateChecker.release.version + " tersedia"
                      : "Pengaturan"
                onActivated: content.viewModel.openSettings()
            }

            CornerButton {
                objectName: "quitButton"
                anchors.right: parent.right
                anchors.rightMargin: 14
                anchors.verticalCenter: parent.verticalCenter
                side: content.buttonSide
                symbol: "power"
                tint: "#ff453a"
                help: "Keluar dari Notchora"
                onActivated: Qt.quit()
            }
        }

        Item { width: 1; height: 2 }

        Pager {
            id: pager
            width: parent.width
            height: parent.height - content.notchHeight - 2 - 20
            store: content.store
            environment: content.environment
        }

        PageDots {
            width: parent.width
            height: 20
            store: content.store
            pager: pager
        }
    }
}
