import QtQuick

// The animated screenshot glyph of the first tile: viewfinder corners, a selection that
// opens, a shutter flash, on a 3.2 s loop drawn at most 30 times a second. While paused
// it keeps its current frame.
Canvas {
    id: icon
    objectName: "screenshotIcon"

    property bool paused: false
    // Seconds into the loop, advanced in whole 30 fps frames.
    property real time: 0
    readonly property real loopSeconds: 3.2
    readonly property color accent: Qt.rgba(0.45, 0.80, 1.00, 1)

    implicitWidth: 62
    implicitHeight: 48
    renderStrategy: Canvas.Cooperative

    onTimeChanged: requestPaint()

    Timer {
        id: timeline
        objectName: "timeline"
        interval: 1000 / 30
        repeat: true
        running: !icon.paused
        property double last: 0
        onRunningChanged: last = 0
        onTriggered: {
            const now = Date.now()
            if (last > 0) {
                const frames = Math.max(1, Math.round((now - last) * 30 / 1000))
                icon.time = (icon.time + frames / 30) % icon.loopSeconds
            }
            last = now
        }
    }

    function ease(x) {
        const t = Math.max(0, Math.min(1, x))
        return t * t * (3 - 2 * t)
    }

    onPaint: {
        const ctx = getContext("2d")
        const w = width, h = height
        ctx.reset()
        const p = time / loopSeconds

        // Viewfinder corners, breathing slightly.
        const inset = 5 + 1.5 * Math.sin(p * 2 * Math.PI)
        const arm = 10
        ctx.strokeStyle = Qt.rgba(1, 1, 1, 0.92)
        ctx.lineWidth = 2.4
        ctx.lineCap = "round"
        ctx.lineJoin = "round"
        const corners = [[inset, inset, 1, 1], [w - inset, inset, -1, 1],
                         [inset, h - inset, 1, -1], [w - inset, h - inset, -1, -1]]
        for (const c of corners) {
            ctx.beginPath()
            ctx.moveTo(c[0], c[1] + c[3] * arm)
            ctx.lineTo(c[0], c[1])
            ctx.lineTo(c[0] + c[2] * arm, c[1])
            ctx.stroke()
        }

        // The selection opens from the centre, holds, then fades.
        const open = ease((p - 0.06) / 0.34)
        const fade = 1 - ease((p - 0.78) / 0.17)
        if (open > 0 && fade > 0) {
            const sw = 8 + open * (w - 2 * inset - 20)
            const sh = 6 + open * (h - 2 * inset - 18)
            const sx = (w - sw) / 2, sy = (h - sh) / 2
            ctx.globalAlpha = fade
            ctx.fillStyle = Qt.rgba(0.45, 0.80, 1.00, 0.22)
            ctx.fillRect(sx, sy, sw, sh)
            ctx.strokeStyle = icon.accent
            ctx.lineWidth = 1.6
            ctx.setLineDash([3, 2])
            ctx.strokeRect(sx, sy, sw, sh)
            ctx.setLineDash([])
            // The pointer dragging the corner.
            ctx.fillStyle = icon.accent
            ctx.beginPath()
            ctx.arc(sx + sw, sy + sh, 2.2, 0, 2 * Math.PI)
            ctx.fill()
            ctx.globalAlpha = 1
        }

        // Shutter flash.
        const flash = p > 0.5 && p < 0.66 ? 1 - (p - 0.5) / 0.16 : 0
        if (flash > 0) {
            ctx.fillStyle = Qt.rgba(1, 1, 1, 0.55 * flash)
            ctx.fillRect(inset + 2, inset + 2, w - 2 * inset - 4, h - 2 * inset - 4)
        }
    }
}
