#pragma once

#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// The values the notch tray hands to every module page it hosts, with the defaults a page
// sees when it is shown on its own.
struct WidgetEnvironment {
    Q_GADGET
    QML_VALUE_TYPE(widgetEnvironment)
    Q_PROPERTY(QObject* notchViewModel MEMBER notchViewModel FINAL)
    Q_PROPERTY(double animationSpeed MEMBER animationSpeed FINAL)
    Q_PROPERTY(double slotToNotchEdge MEMBER slotToNotchEdge FINAL)
    Q_PROPERTY(double notchWidth MEMBER notchWidth FINAL)
    Q_PROPERTY(double notchHeight MEMBER notchHeight FINAL)
    Q_PROPERTY(double collapsedHeight MEMBER collapsedHeight FINAL)
    Q_PROPERTY(bool animationsPaused MEMBER animationsPaused FINAL)
    Q_PROPERTY(QVariant characterReaction MEMBER characterReaction FINAL)
public:
    // The panel's view model, when the page is hosted by the notch.
    QObject* notchViewModel = nullptr;
    double animationSpeed = 1.0;
    double slotToNotchEdge = 40;
    double notchWidth = 190;
    double notchHeight = 32;
    double collapsedHeight = 58;
    bool animationsPaused = false;
    // The character's current reaction; empty means "no reaction, long ago".
    QVariant characterReaction;

    bool operator==(const WidgetEnvironment&) const = default;
};

} // namespace notchora
