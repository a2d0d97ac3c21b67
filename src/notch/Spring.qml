import QtQuick

// A number that follows its target like a damped spring, described the way designers do:
// `response` is the period of the undamped oscillation in seconds and `dampingFraction`
// 1.0 means no overshoot. Runs an animation only while it moves.
QtObject {
    id: spring

    property real value: 0
    readonly property bool moving: clock.running

    property real _from: 0
    property real _to: 0
    property real _omega: 1
    property real _zeta: 1
    property real _time: 0

    function animateTo(target, response, dampingFraction) {
        if (target === _to && !clock.running && value === target)
            return
        _from = value
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
        _from = target
        _to = target
        value = target
    }

    // Step response of a damped harmonic oscillator starting at rest.
    function progress(t) {
        const w = _omega
        const z = _zeta
        if (z >= 1)
            return 1 - Math.exp(-w * t) * (1 + w * t)
        const wd = w * Math.sqrt(1 - z * z)
        return 1 - Math.exp(-z * w * t) * (Math.cos(wd * t) + (z * w / wd) * Math.sin(wd * t))
    }

    on_TimeChanged: value = _from + (_to - _from) * progress(_time)

    property NumberAnimation clock: NumberAnimation {
        target: spring
        property: "_time"
        from: 0
        onFinished: spring.value = spring._to
    }
}
