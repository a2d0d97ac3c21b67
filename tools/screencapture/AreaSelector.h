#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

// A full-screen overlay over a frozen picture of the screen. The user drags a rectangle
// (its size is shown while dragging); releasing the button ends with that area, Escape or
// a click without a drag ends with none.
class AreaSelector : public QWidget {
    Q_OBJECT
public:
    // `frozen` covers `geometry` (the virtual desktop, in logical pixels); it may have
    // more pixels than that on a scaled display.
    AreaSelector(QImage frozen, QRect geometry);

    void start();

signals:
    // The selected area in the frozen image's own pixels; empty when cancelled.
    void finished(const QImage& area);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void grabInput();
    QRect selection() const;
    void done(const QImage& area);

    QImage m_frozen;
    QRect m_geometry;
    QPoint m_anchor;
    QPoint m_current;
    bool m_pressed = false;
    bool m_dragging = false;
    bool m_done = false;
    int m_grabAttempts = 0;
};
