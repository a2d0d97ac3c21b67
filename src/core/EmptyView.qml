import QtQuick
import Notchora.Core

// Stands in for a module view that has nothing to show.
Item {
    property widgetEnvironment environment
}
