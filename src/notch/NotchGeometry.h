#pragma once

#include "platform/ScreenInfo.h"

#include <QObject>
#include <QRectF>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace notchora {

// Where the notch is: the chosen screen's frame and the notch rectangle hanging from its top
// edge, in global coordinates (bottom-left origin, y up). Screens that report no camera
// cut-out (every X11 screen) get an imaginary notch, 190 points wide, centred at the top.
struct NotchGeometry {
    Q_GADGET
    QML_VALUE_TYPE(notchGeometry)
    Q_PROPERTY(QRectF screenFrame MEMBER screenFrame FINAL)
    Q_PROPERTY(QRectF notchRect MEMBER notchRect FINAL)
    Q_PROPERTY(bool hasNotch MEMBER hasNotch FINAL)
public:
    static constexpr double imaginaryNotchWidth = 190;
    static constexpr double panelWidth = 720;
    static constexpr double panelHeight = 320;

    QRectF screenFrame;
    QRectF notchRect;
    bool hasNotch = false;

    NotchGeometry() = default;
    NotchGeometry(QRectF screenFrame, QRectF notchRect, bool hasNotch)
        : screenFrame(screenFrame), notchRect(notchRect), hasNotch(hasNotch) {}
    // Measures `screen`; `statusBarThickness` is the least height of the imaginary notch.
    explicit NotchGeometry(const ScreenInfo& screen, double statusBarThickness = 24);

    // The first screen with a cut-out, else the main screen, else the first one.
    static std::optional<ScreenInfo> targetScreen(const QList<ScreenInfo>& screens,
                                                  const std::optional<ScreenInfo>& mainScreen);
    // The same over the screens the system reports now.
    static std::optional<ScreenInfo> targetScreen();

    // The fixed 720 x 320 panel window, centred on the notch and hanging from the top.
    QRectF panelFrame() const;

    bool operator==(const NotchGeometry& other) const {
        return screenFrame == other.screenFrame && notchRect == other.notchRect &&
               hasNotch == other.hasNotch;
    }
};

} // namespace notchora
