import QtQuick
import Notchora.Core

// One dot per enabled module; the active one is a wider, brighter capsule. Shown only when
// there is more than one page.
Item {
    id: dots

    required property WidgetStore store
    required property Pager pager
    readonly property ModuleListModel modules: store.enabledModules
    // An easing curve is a QVariantList, which Qt 6.4's qmllint only accepts from a var.
    readonly property var easeInOut: [0.42, 0, 0.58, 1, 1, 1]

    Row {
        objectName: "pageDots"
        anchors.centerIn: parent
        spacing: 6
        visible: dots.modules.count >= 2

        Repeater {
            model: dots.modules.count >= 2 ? dots.modules : null
            delegate: Item {
                id: dot
                required property string moduleID
                required property string name
                readonly property bool active: dots.store.activeModule !== undefined
                                               && dots.store.activeModule.id === moduleID
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
                TapHandler { onTapped: dots.pager.showPage(dot.moduleID, true) }
                NotchToolTip {
                    visible: hover.hovered
                    text: dot.name
                }
            }
        }
    }
}
