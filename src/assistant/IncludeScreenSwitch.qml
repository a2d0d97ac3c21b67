import QtQuick
import Notchora.Core

// The eye beside the question field: whether questions take a screenshot along. A disc that
// glows cyan while on.
Item {
    id: control

    property bool isOn: false
    property string accessibleName
    readonly property bool isHovering: hover.hovered
    readonly property color cyan: "#32d2f5"

    signal toggled()

    width: 32
    height: 32
    Accessible.role: Accessible.CheckBox
    Accessible.checkable: true
    Accessible.checked: isOn
    Accessible.name: accessibleName
    Accessible.onPressAction: control.toggled()
    Accessible.onToggleAction: control.toggled()

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        color: control.isOn ? Qt.rgba(control.cyan.r, control.cyan.g, control.cyan.b, 0.2)
                          : Qt.rgba(1, 1, 1, 0.1)
        Behavior on color { ColorAnimation { duration: 150; easing.type: Easing.OutQuad } }
    }
    SymbolIcon {
        objectName: "eye"
        anchors.centerIn: parent
        symbol: control.isOn ? "eye.fill" : "eye.slash"
        size: 13
        font.weight: Font.DemiBold
        color: control.isOn ? control.cyan : Qt.rgba(1, 1, 1, 0.55)
    }

    HoverHandler {
        id: hover
        cursorShape: Qt.PointingHandCursor
    }
    TapHandler {
        gesturePolicy: TapHandler.ReleaseWithinBounds
        onTapped: control.toggled()
    }
}
