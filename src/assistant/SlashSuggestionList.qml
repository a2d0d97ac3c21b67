import QtQuick

// The slash commands that fit what the field holds, one row each; a click picks the row's
// command. The field's key handling moves `selected`.
Rectangle {
    id: list

    // Maps with "command" and "detail" (SlashKeyHandling.items).
    property var items: []
    property int selected: 0
    // A list shrunk under a large index highlights its last row.
    readonly property int highlighted: Math.min(selected, items.length - 1)

    signal picked(string command)

    width: 260
    implicitHeight: rows.implicitHeight + 8
    height: implicitHeight
    radius: 12
    color: Qt.rgba(0.15, 0.15, 0.15, 1)
    border.width: 1
    border.color: Qt.rgba(1, 1, 1, 0.14)

    opacity: items.length > 0 ? 1 : 0
    visible: opacity > 0
    Behavior on opacity { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }

    Column {
        id: rows
        x: 4
        y: 4
        width: list.width - 8
        spacing: 2

        Repeater {
            model: list.items

            delegate: Rectangle {
                id: row

                required property var modelData
                required property int index
                readonly property bool isHighlighted: index === list.highlighted

                objectName: "slash-" + modelData.command
                width: rows.width
                height: 28
                radius: 8
                color: isHighlighted ? Qt.rgba(1, 1, 1, 0.14) : "transparent"

                Accessible.role: Accessible.Button
                Accessible.name: modelData.command
                Accessible.description: modelData.detail
                Accessible.onPressAction: list.picked(row.modelData.command)

                Row {
                    x: 10
                    width: parent.width - 20
                    height: parent.height
                    spacing: 8

                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: row.modelData.command
                        color: "#32d2f5"
                        font.family: "monospace"
                        font.pixelSize: 12
                        font.weight: Font.DemiBold
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: row.modelData.detail
                        color: Qt.rgba(1, 1, 1, 0.65)
                        font.pixelSize: 11
                        elide: Text.ElideRight
                    }
                }

                MouseArea {
                    anchors.fill: parent
                    onClicked: list.picked(row.modelData.command)
                }
            }
        }
    }
}
