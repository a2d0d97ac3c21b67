import QtQuick
import Notchora.Core
import Notchora.Characters

// The character page: which companion is on show, and a picker of all of them plus the
// random mode.
Item {
    id: page

    // Handed in by the tray; its defaults are those of a page shown on its own.
    property widgetEnvironment environment
    readonly property real animationSpeed: environment.animationSpeed
    readonly property bool animationsPaused: environment.animationsPaused
    readonly property var characterReaction: environment.characterReaction

    implicitWidth: 560
    implicitHeight: column.implicitHeight

    Column {
        id: column
        width: parent.width
        spacing: 10

        Row {
            objectName: "characterHeader"
            leftPadding: 4
            spacing: 6

            Text {
                id: title
                objectName: "characterTitle"
                text: CharacterDirector.isRandom ? "Mode Acak" : CharacterDirector.currentName
                color: "white"
                font.pixelSize: 16
                font.weight: Font.DemiBold
            }
            Text {
                objectName: "characterSubtitle"
                visible: CharacterDirector.isRandom
                anchors.baseline: title.baseline
                text: "· " + CharacterDirector.currentName
                color: Qt.rgba(1, 1, 1, 0.55)
                font.pixelSize: 14
            }
        }

        Row {
            objectName: "characterCards"
            spacing: 8

            Repeater {
                model: CharacterDirector.kinds
                delegate: CharacterCard {
                    id: card
                    required property var modelData
                    objectName: "card-" + modelData.raw
                    selected: !CharacterDirector.isRandom && CharacterDirector.current === modelData.kind
                    help: modelData.name
                    onActivated: {
                        CharacterDirector.selectKind(modelData.kind)
                        CharacterStageController.runNow(1.2)
                    }

                    CharacterCanvas {
                        width: 64
                        height: 72
                        x: (card.width - width) / 2 - card.modelData.xShift * card.modelData.scale
                        y: (card.height - height) / 2 - card.modelData.yShift * card.modelData.scale
                        kind: card.modelData.kind
                        speed: page.animationSpeed
                        paused: page.animationsPaused
                        reaction: page.characterReaction
                        transform: Scale {
                            origin.x: 32
                            origin.y: 36
                            xScale: card.modelData.scale
                            yScale: card.modelData.scale
                        }
                    }
                }
            }

            CharacterCard {
                objectName: "card-random"
                selected: CharacterDirector.isRandom
                help: "Acak (ganti tiap 2–5 menit)"
                onActivated: CharacterDirector.setRandom(!CharacterDirector.isRandom)

                SymbolIcon {
                    anchors.centerIn: parent
                    symbol: "shuffle"
                    size: 16
                    font.weight: Font.DemiBold
                    color: Qt.rgba(1, 1, 1, 0.85)
                }
            }
        }
    }
}
