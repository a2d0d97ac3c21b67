import QtQuick
import QtQuick.Window
import Notchora.Screenshot

// The red-box editor: toolbar, divider, and the picture scaled to fit, on which boxes are
// dragged in the picture's own points.
Window {
    id: window

    required property AnnotationEditor editor
    readonly property real margin: 24

    color: "#1c1c1e"
    minimumWidth: 620
    minimumHeight: 200

    Shortcut { sequence: "Ctrl+Z"; onActivated: window.editor.undo() }
    Shortcut { sequence: "Ctrl+C"; onActivated: window.editor.copy() }
    Shortcut { sequence: "Ctrl+S"; onActivated: window.editor.save() }
    Shortcut { sequence: "Escape"; onActivated: window.editor.cancel() }

    AnnotationToolbar {
        id: toolbar
        width: parent.width
        height: 51
        editor: window.editor
    }
    Rectangle {
        id: divider
        anchors.top: toolbar.bottom
        width: parent.width
        height: 1
        color: "#000000"
    }

    Item {
        id: area
        anchors.top: divider.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom

        readonly property real fit: Math.max(0.01, Math.min(
            (width - window.margin) / Math.max(1, window.editor.imageSize.width),
            (height - window.margin) / Math.max(1, window.editor.imageSize.height), 1))

        Item {
            id: frame
            anchors.centerIn: parent
            width: window.editor.imageSize.width * area.fit
            height: window.editor.imageSize.height * area.fit

            // A soft shadow, black at 35 % with a radius of about 6.
            Repeater {
                model: 6
                Rectangle {
                    required property int index
                    anchors.fill: parent
                    anchors.margins: -(index + 1)
                    anchors.topMargin: -(index + 1) + 2
                    anchors.bottomMargin: -(index + 1) - 2
                    radius: index + 2
                    color: "transparent"
                    border.color: Qt.rgba(0, 0, 0, 0.35 * (1 - index / 6) / 2)
                    border.width: 1
                }
            }

            AnnotatedCanvas {
                id: canvas
                editor: window.editor
                width: window.editor.imageSize.width
                height: window.editor.imageSize.height
                scale: area.fit
                transformOrigin: Item.TopLeft

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.CrossCursor
                    onPressed: (mouse) => window.editor.press(Qt.point(mouse.x, mouse.y))
                    onPositionChanged: (mouse) => window.editor.drag(Qt.point(mouse.x, mouse.y))
                    onReleased: (mouse) => window.editor.release(Qt.point(mouse.x, mouse.y))
                }
            }
        }
    }
}
