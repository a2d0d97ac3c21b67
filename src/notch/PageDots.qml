import QtQuick

// One dot per enabled module; the active one is a wider, brighter capsule. Shown only when
// there is more than one page.
Item {
    id: dots

    required property var store
    required property var pager
    readonly property var modules: store.enabledModules
    readonly property var easeInOut: [0.42, 0, 0.58, 1, 1, 1]

    Row {
        objectName: "pageDots"
        anchors.centerIn: parent
        spacing: 6
        visible: dots.modules.length >= 2

        Repeater {
            model: dots.modules.length >= 2 ? dots.modules : []
            delegate: Item {
                id: dot
                required property var modelData
                readonly property bool active: dots.store.activeModule !== undefined
                                               && dots.store.activeModule.id === modelData.id
                width: capsule.width
                height: 16

                Rectangle {
                    id: capsule
                    anchors.centerIn: parent
                    width: dot.active ? 18 : 6
                    height: 6
                    radius: 3
                    color: "white"
                    opacity: dot.active ? 0.9 : 0.3
                    Behavior on width {
                        NumberAnimation { duration: 200; easing.type: Easing.Bezier; easing.bezierCurve: dots.easeInOut }
                    }
                    Behavior on opacity {
                        NumberAnimation { duration: 200; easing.type: Easing.Bezier; easing.bezierCurve: dots.easeInOut }
                    }
                }

                HoverHandler { id: hover }
                TapHandler { onTapped: dots.pager.showPage(dot.modelData.id, true) }
                NotchToolTip {
                    visible: hover.hovered
                    text: dot.modelData.name
                }
            }
        }
    }
}
