import QtQuick
import Notchora.Core

// An icon named by its symbol name, drawn from the icon font.
Text {
    property string symbol
    property real size: 16

    text: Symbols.glyph(symbol)
    font.family: Symbols.fontFamily
    font.pixelSize: size
    color: "white"
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    renderType: Text.QtRendering
}
