import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A label, a slider and the value column. The slider follows `value` and hands its new
// value over when the user lets go (or steps with the keys), never at each step of a
// drag: every write is a locked read-modify-write of the settings file.
RowLayout {
    id: row

    property string text
    property real from
    property real to
    property real stepSize
    property real value
    // Shown in the value column as "<n> <unit>" when set.
    property string unit
    property real valueWidth: 44
    property string lowLabel
    property string highLabel
    property alias slider: slider
    signal committed(real value)

    Layout.fillWidth: true
    spacing: 8

    Label {
        text: row.text
        wrapMode: Text.Wrap
        Layout.preferredWidth: 140
    }
    Caption {
        visible: row.lowLabel !== ""
        text: row.lowLabel
        Layout.fillWidth: false
    }
    Slider {
        id: slider
        from: row.from
        to: row.to
        stepSize: row.stepSize
        snapMode: row.stepSize > 0 ? Slider.SnapAlways : Slider.NoSnap
        value: row.value
        Layout.fillWidth: true
        onPressedChanged: {
            if (!pressed)
                row.committed(value)
        }
        onMoved: {
            if (!pressed)
                row.committed(value)
        }
    }
    Caption {
        visible: row.highLabel !== ""
        text: row.highLabel
        Layout.fillWidth: false
    }
    Label {
        objectName: "valueLabel"
        text: row.unit !== "" ? Math.round(slider.value) + " " + row.unit : ""
        horizontalAlignment: Text.AlignRight
        Layout.preferredWidth: row.valueWidth
    }
}
