import QtQuick
import Notchora.Core

// The module pages side by side, one in view at a time. `pagePosition` is the ID of the
// page in view ("" when none); turning, swiping and the dots move it, and a new position
// selects that module in the store.
ListView {
    id: pager
    objectName: "pager"

    required property WidgetStore store
    required property widgetEnvironment environment
    property string pagePosition: ""
    readonly property ModuleListModel modules: store.enabledModules
    // An easing curve is a QVariantList, which Qt 6.4's qmllint only accepts from a var.
    readonly property var easeInOut: [0.42, 0, 0.58, 1, 1, 1]

    orientation: ListView.Horizontal
    interactive: false
    clip: true
    spacing: 0
    boundsBehavior: Flickable.StopAtBounds
    highlightRangeMode: ListView.NoHighlightRange
    model: modules

    delegate: ModulePage {
        required property url expandedView
        width: pager.width
        height: pager.height
        source: expandedView
        environment: pager.environment
        horizontalMargin: 20
    }

    function indexOf(id: string): int {
        return modules.indexOf(id)
    }

    function scrollTo(index: int, animated: bool) {
        const x = Math.max(0, index) * width
        scroll.stop()
        if (animated && visible) {
            scroll.to = x
            scroll.start()
        } else {
            contentX = x
        }
    }

    // Moves the view to `id`; the store follows through onPagePositionChanged.
    function showPage(id: string, animated: bool) {
        const index = indexOf(id)
        if (index < 0)
            return
        scrollTo(index, animated)
        pagePosition = id
    }

    // Turns by `n` pages, never past the first or the last.
    function turn(n: int) {
        if (modules.count === 0)
            return
        const current = indexOf(pagePosition !== "" ? pagePosition : store.activeModuleID)
        if (current < 0)
            return
        const target = Math.max(0, Math.min(modules.count - 1, current + n))
        if (target !== current)
            showPage(modules.idAt(target), true)
    }

    onPagePositionChanged: {
        if (pagePosition !== "" && pagePosition !== store.activeModuleID)
            store.select(pagePosition)
    }

    // The module list changed: keep the page in view where it was, without selecting.
    function keepPageInView() {
        const index = indexOf(pagePosition !== "" ? pagePosition : store.activeModuleID)
        if (index >= 0)
            scrollTo(index, false)
    }
    // Once the list has laid out its new pages.
    Timer {
        id: keepInView
        interval: 0
        onTriggered: pager.keepPageInView()
    }
    Connections {
        target: pager.modules
        function onRowsInserted() { keepInView.restart() }
        function onRowsRemoved() { keepInView.restart() }
        function onRowsMoved() { keepInView.restart() }
        function onModelReset() { keepInView.restart() }
    }
    onWidthChanged: {
        const index = indexOf(pagePosition)
        if (index >= 0)
            scrollTo(index, false)
    }

    Connections {
        target: pager.store
        function onActiveModuleIDChanged() {
            if (pager.store.activeModuleID !== pager.pagePosition)
                pager.showPage(pager.store.activeModuleID, true)
        }
    }

    Component.onCompleted: {
        pagePosition = store.activeModule !== undefined ? store.activeModule.id : ""
        const index = indexOf(pagePosition)
        if (index >= 0)
            scrollTo(index, false)
    }

    NumberAnimation {
        id: scroll
        target: pager
        property: "contentX"
        duration: 300
        easing.type: Easing.Bezier
        easing.bezierCurve: pager.easeInOut
    }

    // A drag of at least 30 points that ends 50 points or more sideways turns one page.
    DragHandler {
        target: null
        xAxis.enabled: true
        yAxis.enabled: false
        dragThreshold: 30
        onActiveChanged: {
            if (active)
                return
            const dx = centroid.position.x - centroid.pressPosition.x
            if (dx < -50)
                pager.turn(1)
            else if (dx > 50)
                pager.turn(-1)
        }
    }

    // Two-finger swipes on a touchpad arrive as horizontal wheel events. One swipe turns at
    // most one page: after a turn the rest of the gesture is spent, until it ends or pauses.
    property real wheelSwipe: 0
    property bool swipeSpent: false
    WheelHandler {
        orientation: Qt.Horizontal
        target: null
        onWheel: (event) => {
            let dx = event.pixelDelta.x !== 0 ? event.pixelDelta.x : event.angleDelta.x / 2
            // With natural scrolling the system flips the deltas; the page follows the
            // fingers either way, as a drag does.
            if (event.inverted)
                dx = -dx
            swipeReset.restart()
            if (pager.swipeSpent)
                return
            pager.wheelSwipe += dx
            if (pager.wheelSwipe < -50 || pager.wheelSwipe > 50) {
                pager.turn(pager.wheelSwipe < 0 ? 1 : -1)
                pager.swipeSpent = true
            }
        }
    }
    Timer {
        id: swipeReset
        interval: 300
        onTriggered: {
            pager.wheelSwipe = 0
            pager.swipeSpent = false
        }
    }
}
