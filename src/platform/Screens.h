#pragma once

#include "platform/ScreenInfo.h"

#include <QObject>

class QScreen;

namespace notchora {

// The displays as Qt reports them, in our global coordinates, and one `changed` signal for
// every kind of change: a screen added or removed, a new primary, a geometry or work-area
// change. Bursts (a monitor hot-plug touches several) arrive as one signal.
class Screens : public QObject {
    Q_OBJECT
public:
    static Screens& shared();

    QList<ScreenInfo> screens() const;
    // The primary screen (where the desktop puts panels and focus), if any.
    std::optional<ScreenInfo> mainScreen() const;
    // Height of the top status bar we assume when the work area shows none.
    static constexpr double statusBarThickness = 24;

    // Our global coordinates <-> Qt's, for the current primary screen.
    QRectF toQt(const QRectF& rect) const;
    QPointF fromQt(const QPointF& point) const;

signals:
    void changed();

private:
    Screens();
    void watch(QScreen* screen);
    void scheduleChanged();
    QRect primaryGeometry() const;
    bool m_pending = false;
};

} // namespace notchora
