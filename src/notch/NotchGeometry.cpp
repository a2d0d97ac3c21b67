#include "notch/NotchGeometry.h"

#include "platform/Screens.h"

#include <algorithm>

namespace notchora {

NotchGeometry::NotchGeometry(const ScreenInfo& screen, double statusBarThickness) {
    screenFrame = screen.frame;
    const double top = screenFrame.y() + screenFrame.height();
    const auto& left = screen.auxiliaryTopLeftArea;
    const auto& right = screen.auxiliaryTopRightArea;
    double height = 0;
    if (screen.safeAreaTop > 0 && left && right && left->x() + left->width() < right->x()) {
        const double x = left->x() + left->width();
        height = screen.safeAreaTop;
        notchRect = QRectF(x, top - height, right->x() - x, height);
        hasNotch = true;
        return;
    }
    const double menuBar = top - (screen.visibleFrame.y() + screen.visibleFrame.height());
    height = std::max(statusBarThickness, menuBar);
    const double midX = screenFrame.x() + screenFrame.width() / 2;
    notchRect = QRectF(midX - imaginaryNotchWidth / 2, top - height, imaginaryNotchWidth, height);
    hasNotch = false;
}

std::optional<ScreenInfo> NotchGeometry::targetScreen(const QList<ScreenInfo>& screens,
                                                      const std::optional<ScreenInfo>& main) {
    for (const auto& screen : screens)
        if (screen.safeAreaTop > 0)
            return screen;
    if (main)
        return main;
    if (!screens.isEmpty())
        return screens.first();
    return std::nullopt;
}

std::optional<ScreenInfo> NotchGeometry::targetScreen() {
    const Screens& screens = Screens::shared();
    return targetScreen(screens.screens(), screens.mainScreen());
}

QRectF NotchGeometry::panelFrame() const {
    const double midX = notchRect.x() + notchRect.width() / 2;
    const double top = screenFrame.y() + screenFrame.height();
    return QRectF(midX - panelWidth / 2, top - panelHeight, panelWidth, panelHeight);
}

} // namespace notchora
