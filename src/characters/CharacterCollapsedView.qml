import QtQuick
import Notchora.Core
import Notchora.Characters

// The companion in the closed notch: paces (or bobs beside the notch), looks at the
// pointer and shows its mood. It tucks into the notch while the director switches
// characters and steps out while it performs on the stage.
Item {
    id: view

    // Handed in by the tray; its defaults are those of a page shown on its own.
    property widgetEnvironment environment
    readonly property real notchWidth: environment.notchWidth
    readonly property real notchHeight: environment.notchHeight
    readonly property real slotToNotchEdge: environment.slotToNotchEdge
    readonly property real animationSpeed: environment.animationSpeed
    readonly property bool animationsPaused: environment.animationsPaused

    readonly property bool onScreen: visible && Window.window !== null
                                     && Window.visibility !== Window.Hidden
    readonly property var easeInOut: [0.42, 0, 0.58, 1, 1, 1]

    implicitWidth: 64
    implicitHeight: 72

    function appear(shown) {
        CharacterDirector.setActive(shown)
        CharacterStageController.setActive(shown)
    }

    onOnScreenChanged: appear(onScreen)
    Component.onCompleted: if (onScreen) appear(true)
    Component.onDestruction: appear(false)

    Connections {
        target: CharacterDirector
        // A new character waits a full interval before its first show.
        function onCurrentChanged() {
            if (view.onScreen)
                CharacterStageController.setActive(true)
        }
    }

    // Placement: from the slot to where this kind belongs.
    Item {
        id: placed
        objectName: "characterPlacement"
        width: 64
        height: 72
        x: placement.x
        y: placement.y
        readonly property point placement: pacerForLayout.placement

        // Invisible while it performs on the stage.
        opacity: CharacterStageController.isRunning ? 0 : 1
        visible: opacity > 0
        Behavior on opacity {
            NumberAnimation { duration: 300; easing.type: Easing.Bezier; easing.bezierCurve: view.easeInOut }
        }

        // Tucked up into the notch during a switch.
        Item {
            id: tuck
            objectName: "characterTuck"
            anchors.fill: parent
            readonly property bool tucked: CharacterDirector.isTucked
            property real amount: tucked ? 1 : 0
            Behavior on amount {
                NumberAnimation { duration: 400; easing.type: Easing.Bezier; easing.bezierCurve: view.easeInOut }
            }
            opacity: 1 - amount
            visible: opacity > 0
            transform: [
                Scale {
                    origin.x: 32
                    origin.y: 0
                    xScale: 1 - 0.4 * tuck.amount
                    yScale: 1 - 0.4 * tuck.amount
                },
                Translate { y: -24 * tuck.amount }
            ]

            // Rebuilt from scratch for every kind, so nothing carries over.
            Repeater {
                model: [CharacterDirector.current]
                delegate: CharacterCanvas {
                    id: canvas
                    objectName: "characterCanvas"
                    required property var modelData
                    width: 64
                    height: 72
                    kind: modelData
                    speed: view.animationSpeed
                    paused: view.animationsPaused
                    pacer: CharacterPacer {
                        id: pacer
                        kind: canvas.kind
                        notchWidth: view.notchWidth
                        notchHeight: view.notchHeight
                        slotToNotchEdge: view.slotToNotchEdge
                        speed: view.animationSpeed
                    }
                    transform: [
                        Scale {
                            origin.x: 32
                            origin.y: 28
                            xScale: pacer.drawingScale
                            yScale: pacer.drawingScale
                        },
                        Scale {
                            origin.x: 32
                            xScale: pacer.facing
                            Behavior on xScale {
                                NumberAnimation { duration: 250; easing.type: Easing.Bezier; easing.bezierCurve: view.easeInOut }
                            }
                        },
                        Translate {
                            x: pacer.offset.x
                            y: pacer.offset.y
                        }
                    ]
                }
            }
        }
    }

    // The placement depends only on the kind and the notch.
    CharacterPacer {
        id: pacerForLayout
        kind: CharacterDirector.current
        notchWidth: view.notchWidth
        notchHeight: view.notchHeight
        slotToNotchEdge: view.slotToNotchEdge
    }
}
