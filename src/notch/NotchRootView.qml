import QtQuick
import Notchora.Core

// Everything the notch panel draws, in the top centre of its transparent window: the black
// tray that continues the notch and springs open into the module pager, the update dot and
// the collapsed module's slot beside the notch.
Item {
    id: root

    required property var viewModel
    required property WidgetStore store

    readonly property bool expanded: viewModel.isExpanded
    readonly property real notchWidth: viewModel.notchWidth
    readonly property real notchHeight: viewModel.notchHeight
    readonly property real collapsedWidth: notchWidth
    readonly property real collapsedHeight: notchHeight + store.lipHeight
    readonly property real expandedWidth: Math.max(460, collapsedWidth)
    readonly property real expandedHeight: notchHeight + 148

    // 0 collapsed, 1 expanded; every size, radius and scale follows it.
    readonly property real openness: openSpring.value
    readonly property real trayWidth: lerp(collapsedWidth, expandedWidth, openness)
    readonly property real trayHeight: lerp(collapsedHeight, expandedHeight, openness)
    readonly property real cornerRadius: lerp(10, 26, openness)
    readonly property real viewScale: lerp(1, store.widgetScale, openness) * hitSpring.value

    // The visible tray in window coordinates, for the window's shape and input region.
    readonly property rect trayRect: Qt.rect((width - trayWidth * viewScale) / 2, 0,
                                             trayWidth * viewScale, trayHeight * viewScale)
    readonly property real trayRadius: cornerRadius * viewScale
    readonly property bool springMoving: openSpring.moving || hitSpring.moving

    // What every hosted page receives (only the names a page declares are set).
    readonly property var pageEnvironment: ({
        "store": store,
        "notchViewModel": viewModel,
        "notchWidth": notchWidth,
        "notchHeight": notchHeight,
        "collapsedHeight": collapsedHeight,
        "slotToNotchEdge": 40,
        "animationSpeed": store.animationSpeed
    })
    readonly property var expandedEnvironment: Object.assign({ "animationsPaused": !expanded },
                                                             pageEnvironment)

    readonly property var easeInOut: [0.42, 0, 0.58, 1, 1, 1]

    function lerp(a, b, t) {
        return a + (b - a) * t
    }

    Spring { id: openSpring }
    Spring { id: hitSpring; value: 1 }

    onExpandedChanged: {
        if (expanded)
            openSpring.animateTo(1, 0.42, 0.82)
        else
            openSpring.animateTo(0, 0.34, 1.0)
    }
    Connections {
        target: root.viewModel
        function onIsHitChanged() {
            hitSpring.animateTo(root.viewModel.isHit ? 1.06 : 1, 0.16, 0.45)
        }
    }
    Component.onCompleted: openSpring.jumpTo(expanded ? 1 : 0)

    Item {
        id: view
        width: root.width
        height: root.height
        transform: Scale {
            origin.x: view.width / 2
            origin.y: 0
            xScale: root.viewScale
            yScale: root.viewScale
        }

        // The tray, with the content clipped at its edge while it grows and shrinks.
        Item {
            id: tray
            objectName: "tray"
            anchors.horizontalCenter: parent.horizontalCenter
            width: root.trayWidth
            height: root.trayHeight
            clip: root.openness > 0

            TrayShape {
                anchors.fill: parent
                radius: root.cornerRadius
            }

            ExpandedContent {
                id: content
                objectName: "expandedContent"
                anchors.top: parent.top
                anchors.horizontalCenter: parent.horizontalCenter
                width: root.expandedWidth
                height: root.expandedHeight
                viewModel: root.viewModel
                store: root.store
                notchHeight: root.notchHeight
                environment: root.expandedEnvironment
                enabled: root.expanded
                Accessible.ignored: !root.expanded
                visible: opacity > 0
                opacity: 0
                scale: 0.94
                transformOrigin: Item.Top

                states: State {
                    name: "shown"
                    when: root.expanded
                    PropertyChanges { target: content; opacity: 1; scale: 1 }
                }
                transitions: [
                    Transition {
                        to: "shown"
                        SequentialAnimation {
                            PauseAnimation { duration: 100 }
                            NumberAnimation {
                                properties: "opacity,scale"
                                duration: 260
                                easing.type: Easing.Bezier
                                easing.bezierCurve: [0, 0, 0.58, 1, 1, 1]
                            }
                        }
                    },
                    Transition {
                        from: "shown"
                        NumberAnimation {
                            properties: "opacity,scale"
                            duration: 100
                            easing.type: Easing.Bezier
                            easing.bezierCurve: [0.42, 0, 1, 1, 1, 1]
                        }
                    }
                ]
            }
        }

        // A new release is out: a small cyan dot near the right end of the notch.
        Rectangle {
            objectName: "updateDot"
            visible: UpdateChecker.status === UpdateChecker.Available && opacity > 0
            width: 5
            height: 5
            radius: 2.5
            color: "#32d2f5"
            x: view.width / 2 + root.collapsedWidth * 0.5 - 7 - width / 2
            y: 4
            opacity: root.expanded ? 0 : 1
            Behavior on opacity {
                NumberAnimation { duration: 180; easing.type: Easing.Bezier; easing.bezierCurve: root.easeInOut }
            }
        }

        // The collapsed module's view, its right edge 8 points inside the notch's right end.
        ModulePage {
            id: slot
            objectName: "collapsedSlot"
            readonly property var module: root.store.collapsedModule
            visible: module !== undefined && opacity > 0
            width: root.viewModel.slotWidth
            height: root.collapsedHeight + 50
            x: view.width / 2 + root.notchWidth * 0.5 - root.viewModel.slotWidth / 2
               - root.viewModel.slotInset - width / 2
            y: 0
            source: module !== undefined ? module.collapsedView : ""
            environment: root.pageEnvironment
            opacity: root.expanded ? 0 : 1
            Behavior on opacity {
                NumberAnimation { duration: 180; easing.type: Easing.Bezier; easing.bezierCurve: root.easeInOut }
            }
        }
    }
}
