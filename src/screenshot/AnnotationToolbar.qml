import QtQuick
import QtQuick.Controls.Basic
import Notchora.Core
import Notchora.Screenshot

// Title, stroke thickness, and the editor's commands. The command labels matter most: when
// room runs short, the title text goes first, then the "Tebal" label, then the symbols
// beside the labels; only a toolbar too narrow even for that shows symbols alone. A status
// message takes the place of the thickness controls.
Rectangle {
    id: toolbar

    required property AnnotationEditor editor
    readonly property real edge: 14
    readonly property real gap: 8

    // Widths of each part in each form; none depends on what is shown, so choosing a form
    // never feeds back into the widths it was chosen from.
    readonly property real titleWidth: titleIcon.implicitWidth + title.spacing
                                       + titleText.implicitWidth
    readonly property real titleBareWidth: titleIcon.implicitWidth
    readonly property real thicknessBareWidth: slider.width + thicknessRow.spacing
                                                + thicknessValue.width + 8
    readonly property real thicknessWidth: thicknessBareWidth + thicknessLabel.implicitWidth
                                           + thicknessRow.spacing
    readonly property real commandsWidth: undo.fullWidth + clearAll.fullWidth + copy.fullWidth
                                          + save.fullWidth + cancel.labelWidth
                                          + 4 * commands.spacing
    readonly property real labelsWidth: undo.labelWidth + clearAll.labelWidth + copy.labelWidth
                                        + save.labelWidth + cancel.labelWidth
                                        + 4 * commands.spacing
    readonly property real available: width - 2 * edge - 2 * gap

    // 0: everything; 1: no title text; 2: nor "Tebal"; 3: labels without symbols;
    // 4: symbols alone.
    readonly property int form: {
        if (titleWidth + thicknessWidth + commandsWidth <= available)
            return 0
        if (titleBareWidth + thicknessWidth + commandsWidth <= available)
            return 1
        if (titleBareWidth + thicknessBareWidth + commandsWidth <= available)
            return 2
        if (titleBareWidth + thicknessBareWidth + labelsWidth <= available)
            return 3
        return 4
    }

    color: "#2a2a2d"

    Row {
        id: row
        anchors.left: parent.left
        anchors.leftMargin: toolbar.edge
        anchors.verticalCenter: parent.verticalCenter
        spacing: toolbar.gap

        Row {
            id: title
            anchors.verticalCenter: parent.verticalCenter
            spacing: 5
            SymbolIcon {
                id: titleIcon
                anchors.verticalCenter: parent.verticalCenter
                symbol: "rectangle"
                size: 17
                color: "#ff453a"
            }
            Text {
                id: titleText
                anchors.verticalCenter: parent.verticalCenter
                visible: toolbar.form === 0
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
                    id: thicknessLabel
                    anchors.verticalCenter: parent.verticalCenter
                    visible: toolbar.form <= 1
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
                    id: thicknessValue
                    anchors.verticalCenter: parent.verticalCenter
                    width: 38
                    text: Math.round(toolbar.editor.thickness) + " pt"
                    color: "white"
                    font.pixelSize: 12
                }
            }
        }
    }

    // The message may use all the room up to the commands.
    Text {
        anchors.verticalCenter: parent.verticalCenter
        x: row.x + thickness.x
        width: Math.max(0, commands.x - toolbar.gap - x)
        visible: toolbar.editor.message !== ""
        text: toolbar.editor.message
        color: toolbar.editor.messageIsError ? "#ff6961" : "#32d74b"
        font.pixelSize: 12
        font.weight: Font.Medium
        elide: Text.ElideMiddle
    }

    Row {
        id: commands
        anchors.right: parent.right
        anchors.rightMargin: toolbar.edge
        anchors.verticalCenter: parent.verticalCenter
        spacing: 8

        ToolbarButton {
            id: undo
            text: "Urungkan"
            symbol: "arrow.uturn.backward"
            showsLabel: toolbar.form < 4
            showsSymbol: toolbar.form < 3
            opacity: toolbar.editor.boxCount > 0 ? 1 : 0.5
            onClicked: toolbar.editor.undo()
        }
        ToolbarButton {
            id: clearAll
            text: "Hapus semua"
            symbol: "trash"
            showsLabel: toolbar.form < 4
            showsSymbol: toolbar.form < 3
            opacity: toolbar.editor.boxCount > 0 ? 1 : 0.5
            onClicked: toolbar.editor.clear()
        }
        ToolbarButton {
            id: copy
            text: "Salin"
            symbol: "doc.on.doc"
            showsLabel: toolbar.form < 4
            showsSymbol: toolbar.form < 3
            onClicked: toolbar.editor.copy()
        }
        ToolbarButton {
            id: save
            text: "Simpan"
            symbol: "square.and.arrow.down"
            showsLabel: toolbar.form < 4
            showsSymbol: toolbar.form < 3
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
