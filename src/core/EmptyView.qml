import QtQuick

// Stands in for a module view that has nothing to show.
Item {}
