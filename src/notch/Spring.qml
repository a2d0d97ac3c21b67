import QtQuick

// A number that follows its target like a damped spring, described the way designers do:
// `response` is the period of the undamped oscillation in seconds and `dampingFraction`
// 1.0 means no overshoot. Runs an animation only while it moves.
QtObject {
    id: spring

    property real value: 0
    readonly property bool moving: clock.running

    // Displacement from the target and speed when the current motion started.
    property real _x0: 0
    property real _v0: 0
    property real _to: 0
    property real _omega: 1
    property real _zeta: 1
    property real _time: 0

    // A new target keeps the current speed, so a reversal mid-way bends smoothly.
    function animateTo(target, response, dampingFraction) {
        if (target === _to && !clock.running && value === target)
            return
        const speed = clock.running ? velocity() : 0
        _x0 = value - target
        _v0 = speed
        _to = target
        _omega = 2 * Math.PI / response
        _zeta = dampingFraction
        // Settled when what is left is below a thousandth of the distance.
        const settle = Math.log(1000) / (_zeta * _omega)
        clock.stop()
        _time = 0
        clock.to = settle
        clock.duration = Math.ceil(settle * 1000)
        clock.start()
    }

    function jumpTo(target) {
        clock.stop()
        _x0 = 0
        _v0 = 0
        _to = target
        value = target
    }

    // Displacement from the target of a damped harmonic oscillator at time t.
    function displacement(t) {
        const w = _omega
        const z = _zeta
        if (z >= 1)
            return Math.exp(-w * t) * (_x0 + (_v0 + w * _x0) * t)
        const wd = w * Math.sqrt(1 - z * z)
        return Math.exp(-z * w * t) * (_x0 * Math.cos(wd * t) + (_v0 + z * w * _x0) / wd * Math.sin(wd * t))
    }

    // Speed now, in units per second.
    function velocity() {
        const h = 0.0001
        return (displacement(_time + h) - displacement(_time)) / h
    }

    on_TimeChanged: value = _to + displacement(_time)

    property NumberAnimation clock: NumberAnimation {
        target: spring
        property: "_time"
        from: 0
        onFinished: spring.value = spring._to
    }
}
