import QtQuick
import Notchora.Core
import Notchora.Notch

// Everything the notch panel draws, in the top centre of its transparent window: the black
// tray that continues the notch and springs open into the module pager, the update dot and
// the collapsed module's slot beside the notch.
Item {
    id: root

    required property NotchViewModel viewModel
    required property WidgetStore store

    readonly property bool expanded: viewModel.isExpanded
    readonly property trayLayout layout: viewModel.layout
    readonly property bool springMoving: openSpring.moving || hitSpring.moving

    // An easing curve is a QVariantList, which Qt 6.4's qmllint only accepts from a var.
    readonly property var easeInOut: [0.42, 0, 0.58, 1, 1, 1]

    // The springs drive the layout, which every size, radius and scale follows.
    Spring { id: openSpring }
    Spring { id: hitSpring; value: 1 }
    Binding { target: root.viewModel; property: "openness"; value: openSpring.value }
    Binding { target: root.viewModel; property: "hitBump"; value: hitSpring.value }

    onExpandedChanged: {
        if (expanded)
            openSpring.animateTo(1, 0.42, 0.82)
        else
            openSpring.animateTo(0, 0.34, 1.0)
    }
    Connections {
        target: root.viewModel
        function onIsFlinchingChanged() {
            hitSpring.animateTo(root.viewModel.isFlinching ? 1.06 : 1, 0.16, 0.45)
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
            xScale: root.layout.viewScale
            yScale: root.layout.viewScale
        }

        // The tray, with the content clipped at its edge while it grows and shrinks.
        Item {
            id: tray
            objectName: "tray"
            anchors.horizontalCenter: parent.horizontalCenter
            width: root.layout.trayWidth
            height: root.layout.trayHeight
            clip: root.viewModel.openness > 0

            TrayShape {
                anchors.fill: parent
                radius: root.layout.cornerRadius
            }

            ExpandedContent {
                id: content
                objectName: "expandedContent"
                anchors.top: parent.top
                anchors.horizontalCenter: parent.horizontalCenter
                width: root.layout.expandedWidth
                height: root.layout.expandedHeight
                viewModel: root.viewModel
                store: root.store
                notchHeight: root.layout.notchHeight
                environment: root.viewModel.expandedEnvironment
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
            x: view.width / 2 + root.layout.collapsedWidth * 0.5 - 7 - width / 2
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
            readonly property bool hasModule: root.store.collapsedModule !== undefined
            visible: hasModule && opacity > 0
            x: root.layout.slotItemRect.x
            y: root.layout.slotItemRect.y
            width: root.layout.slotItemRect.width
            height: root.layout.slotItemRect.height
            source: hasModule ? root.store.collapsedModule.collapsedView : ""
            environment: root.viewModel.collapsedEnvironment
            opacity: root.expanded ? 0 : 1
            Behavior on opacity {
                NumberAnimation { duration: 180; easing.type: Easing.Bezier; easing.bezierCurve: root.easeInOut }
            }
        }
    }
}
