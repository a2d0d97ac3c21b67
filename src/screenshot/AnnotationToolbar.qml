import QtQuick
import QtQuick.Controls.Basic
import Notchora.Core
import Notchora.Screenshot

// Title, stroke thickness, and the editor's commands. Labels give way to symbols when the
// window is narrow; a status message takes the place of the thickness controls.
Rectangle {
    id: toolbar

    required property AnnotationEditor editor
    readonly property real fullWidth: title.width + thickness.width + undo.fullWidth
                                      + clearAll.fullWidth + copy.fullWidth + save.fullWidth
                                      + cancel.fullWidth + 7 * row.spacing + 32
    readonly property bool compact: width < fullWidth

    color: "#2a2a2d"

    Row {
        id: row
        anchors.left: parent.left
        anchors.leftMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        Row {
            id: title
            anchors.verticalCenter: parent.verticalCenter
            spacing: 5
            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                symbol: "rectangle"
                size: 17
                color: "#ff453a"
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "Kotak merah"
                color: "#ff453a"
                font.pixelSize: 13
                font.weight: Font.DemiBold
            }
        }

        Item {
            id: thickness
            anchors.verticalCenter: parent.verticalCenter
            width: thicknessRow.implicitWidth + 8
            height: 28

            Row {
                id: thicknessRow
                anchors.centerIn: parent
                spacing: 6
                visible: toolbar.editor.message === ""

                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Tebal"
                    color: Qt.rgba(1, 1, 1, 0.8)
                    font.pixelSize: 12
                }
                Slider {
                    id: slider
                    anchors.verticalCenter: parent.verticalCenter
                    width: 130
                    from: 1
                    to: 14
                    stepSize: 1
                    snapMode: Slider.SnapAlways
                    value: toolbar.editor.thickness
                    onMoved: toolbar.editor.thickness = value
                    background: Rectangle {
                        x: slider.leftPadding
                        y: slider.topPadding + slider.availableHeight / 2 - height / 2
                        width: slider.availableWidth
                        height: 4
                        radius: 2
                        color: Qt.rgba(1, 1, 1, 0.18)
                        Rectangle {
                            width: slider.visualPosition * parent.width
                            height: parent.height
                            radius: 2
                            color: "#ff453a"
                        }
                    }
                    handle: Rectangle {
                        x: slider.leftPadding + slider.visualPosition * (slider.availableWidth - width)
                        y: slider.topPadding + slider.availableHeight / 2 - height / 2
                        width: 16
                        height: 16
                        radius: 8
                        color: slider.pressed ? "#e6e6e6" : "white"
                        border.color: Qt.rgba(0, 0, 0, 0.25)
                    }
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 38
                    text: Math.round(toolbar.editor.thickness) + " pt"
                    color: "white"
                    font.pixelSize: 12
                }
            }

            Text {
                anchors.verticalCenter: parent.verticalCenter
                width: Math.max(parent.width, 160)
                visible: toolbar.editor.message !== ""
                text: toolbar.editor.message
                color: toolbar.editor.messageIsError ? "#ff6961" : "#32d74b"
                font.pixelSize: 12
                font.weight: Font.Medium
                elide: Text.ElideMiddle
            }
        }
    }

    Row {
        anchors.right: parent.right
        anchors.rightMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        ToolbarButton {
            id: undo
            text: "Urungkan"
            symbol: "arrow.uturn.backward"
            compact: toolbar.compact
            opacity: toolbar.editor.boxCount > 0 ? 1 : 0.5
            onClicked: toolbar.editor.undo()
        }
        ToolbarButton {
            id: clearAll
            text: "Hapus semua"
            symbol: "trash"
            compact: toolbar.compact
            opacity: toolbar.editor.boxCount > 0 ? 1 : 0.5
            onClicked: toolbar.editor.clear()
        }
        ToolbarButton {
            id: copy
            text: "Salin"
            symbol: "doc.on.doc"
            compact: toolbar.compact
            onClicked: toolbar.editor.copy()
        }
        ToolbarButton {
            id: save
            text: "Simpan"
            symbol: "square.and.arrow.down"
            compact: toolbar.compact
            prominent: true
            onClicked: toolbar.editor.save()
        }
        ToolbarButton {
            id: cancel
            text: "Batal"
            onClicked: toolbar.editor.cancel()
        }
    }
}
