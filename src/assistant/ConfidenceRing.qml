import QtQuick
import Notchora.Assistant

// How sure the service is of an answer: an arc from the top, clockwise, over a faint track,
// with the percentage in the middle.
Item {
    id: ring

    property real value: 0
    readonly property real fraction: ConfidenceStyle.fraction(value)
    readonly property color tint: ConfidenceStyle.color(value)

    width: 32
    height: 32
    Accessible.role: Accessible.Indicator
    Accessible.name: ConfidenceStyle.accessibleName(value)

    Canvas {
        id: arc
        anchors.fill: parent
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            const r = width / 2 - 1.5
            ctx.lineWidth = 3
            ctx.strokeStyle = Qt.rgba(1, 1, 1, 0.12)
            ctx.beginPath()
            ctx.arc(width / 2, height / 2, r, 0, 2 * Math.PI)
            ctx.stroke()
            if (ring.fraction <= 0)
                return
            ctx.lineCap = "round"
            ctx.strokeStyle = ring.tint
            ctx.beginPath()
            ctx.arc(width / 2, height / 2, r, -Math.PI / 2, -Math.PI / 2 + 2 * Math.PI * ring.fraction)
            ctx.stroke()
        }
    }
    onFractionChanged: arc.requestPaint()
    onTintChanged: arc.requestPaint()

    Text {
        anchors.centerIn: parent
        text: ConfidenceStyle.percentText(ring.value)
        color: "white"
        font.pixelSize: 9
        font.weight: Font.DemiBold
    }

    HoverHandler { id: hover }
    PopupToolTip {
        visible: hover.hovered
        text: "Tingkat keyakinan AI"
    }
}
