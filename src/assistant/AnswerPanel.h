#pragma once

#include "core/KeyboardLease.h"

#include <QPointF>
#include <QPointer>
#include <QQuickView>
#include <QRect>
#include <QSize>

namespace notchora {

class WindowSystem;

// The answer popup's window: a 360 x 340 card with a soft shadow round it, kept above
// normal windows on every desktop and out of taskbars and window cycling. Dragging its
// background moves it. Clicks never take the keyboard; a text field taking focus does
// (without raising or activating the program), and the keyboard goes back to the window
// that had it once the field lets go or the panel is ordered out.
class AnswerPanel : public QQuickView {
    Q_OBJECT
    Q_PROPERTY(double alpha READ alpha WRITE setAlpha NOTIFY alphaChanged FINAL)
public:
    static constexpr QSize cardSize{360, 340};
    // Room for the shadow on every side of the card, outside what the pointer reaches.
    static constexpr int shadowMargin = 18;
    static constexpr double cardRadius = 22;

    AnswerPanel(QQmlEngine* engine, WindowSystem& windows);

    // The card in Qt's global coordinates, and moving it there (the window is larger by the
    // shadow).
    QRect cardGeometry() const;
    void setCardPosition(const QPoint& topLeft);

    double alpha() const;
    void setAlpha(double alpha);

    // Shows the panel above the others without activating anything.
    void orderFront();
    // Hides it, handing the keyboard back first.
    void orderOut();

    bool holdsKeyFocus() const { return m_keyboard.isHeld(); }
    bool isDragging() const { return m_dragging; }

    // The pointer's part (the card) and, without a compositor, the window's shape.
    void applyShape();

signals:
    void alphaChanged();
    // A drag of the background ended (the panel may have moved).
    void dragFinished();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRegion cardRegion() const;

    WindowSystem& m_windows;
    KeyboardLease m_keyboard;
    bool m_dragging = false;
    QPointF m_dragStartPointer;
    QPoint m_dragStartPosition;
};

} // namespace notchora
