import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A titled group of rows.
ColumnLayout {
    id: section

    property string title
    default property alias content: body.data

    Layout.fillWidth: true
    Layout.leftMargin: 16
    Layout.rightMargin: 16
    spacing: 6

    Label {
        objectName: "sectionTitle"
        text: section.title
        font.weight: Font.DemiBold
        Layout.leftMargin: 2
    }
    Frame {
        Layout.fillWidth: true
        padding: 12

        ColumnLayout {
            id: body
            width: parent.width
            spacing: 10
        }
    }
}
