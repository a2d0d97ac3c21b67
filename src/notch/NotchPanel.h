#pragma once

#include "core/KeyboardLease.h"

#include <QPointer>
#include <QQuickItem>
#include <QQuickView>
#include <QRectF>

namespace notchora {

class WindowSystem;

// The borderless, transparent window over the notch. Clicks never take the keyboard; while
// `allowsKeyFocus` is on, a text field taking focus does (without raising or activating the
// program), and the keyboard goes back to the window that had it once the field lets go or
// the tray closes.
class NotchPanel : public QQuickView {
    Q_OBJECT
    Q_PROPERTY(double alpha READ alpha WRITE setAlpha NOTIFY alphaChanged FINAL)
public:
    // What the panel draws, in window coordinates, for its shape.
    struct Shape {
        QRectF tray;
        double trayRadius = 0;
        // The collapsed module's slot; empty when there is none.
        QRectF slot;
        // Whether the tray takes the pointer (it is open).
        bool takesPointer = false;

        bool operator==(const Shape&) const = default;
    };

    NotchPanel(QQmlEngine* engine, WindowSystem& windows);

    bool allowsKeyFocus() const { return m_allowsKeyFocus; }
    void setAllowsKeyFocus(bool allows);
    // Whether the panel took the keyboard for a text field.
    bool holdsKeyFocus() const { return m_keyboard.isHeld(); }

    // Opacity of everything the panel draws (desktop-switch fades).
    double alpha() const;
    void setAlpha(double alpha);

    const Shape& shape() const { return m_shape; }
    // Shapes the input region to the open tray and, where no compositor blends the
    // transparent parts, the window itself to the tray and the slot.
    void setShape(const Shape& shape);
    // Applies the shape again (after showing the window or a compositor change).
    void applyShape();
    // Follows the popups (tooltips) the content opens, which the shape has to include too;
    // call once the content is loaded.
    void watchPopups();

    // The tray as drawn: square top corners, rounded bottom ones.
    static QRegion trayRegion(const QRectF& rect, double radius);

signals:
    void alphaChanged();

private:
    void followPopupItems();
    QRegion popupRegion() const;

    WindowSystem& m_windows;
    Shape m_shape;
    bool m_allowsKeyFocus = false;
    KeyboardLease m_keyboard;
    QPointer<QQuickItem> m_overlay;
};

} // namespace notchora
