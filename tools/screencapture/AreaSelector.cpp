#include "AreaSelector.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdlib>

AreaSelector::AreaSelector(QImage frozen, QRect geometry)
    : QWidget(nullptr,
              Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint),
      m_frozen(std::move(frozen)), m_geometry(geometry) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setGeometry(m_geometry);
}

void AreaSelector::start() {
    show();
    raise();
    activateWindow();
    grabInput();
}

// The overlay bypasses the window manager, so it only gets the keyboard by grabbing it;
// the grab fails until the window is viewable, hence the retries.
void AreaSelector::grabInput() {
    QWindow* window = windowHandle();
    const bool grabbed = window && window->isExposed() && window->setKeyboardGrabEnabled(true) &&
                         window->setMouseGrabEnabled(true);
    if (grabbed) {
        // The title appears only once input is ours, so a script can wait for it.
        setWindowTitle(QStringLiteral("notchora-screencapture area"));
        return;
    }
    if (++m_grabAttempts < 200)
        QTimer::singleShot(10, this, &AreaSelector::grabInput);
    else
        setWindowTitle(QStringLiteral("notchora-screencapture area"));
}

// Pressing at x and releasing at x + w selects w pixels, whichever way the drag went.
QRect AreaSelector::selection() const {
    return QRect(std::min(m_anchor.x(), m_current.x()), std::min(m_anchor.y(), m_current.y()),
                 std::abs(m_current.x() - m_anchor.x()), std::abs(m_current.y() - m_anchor.y()))
        .intersected(rect());
}

void AreaSelector::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(rect(), m_frozen);
    const QRect area = m_dragging ? selection() : QRect();
    // Dim everything but the selection.
    QRegion dim(rect());
    if (!area.isEmpty())
        dim -= QRegion(area);
    for (const QRect& r : dim)
        painter.fillRect(r, QColor(0, 0, 0, 96));
    if (area.isEmpty())
        return;
    painter.setPen(QPen(QColor(255, 255, 255, 230), 1));
    painter.drawRect(area.adjusted(0, 0, -1, -1));

    const double ratio = double(m_frozen.width()) / std::max(1, m_geometry.width());
    const QString label = QStringLiteral("%1 × %2")
                              .arg(std::lround(area.width() * ratio))
                              .arg(std::lround(area.height() * ratio));
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QRect text = painter.fontMetrics().boundingRect(label).adjusted(-6, -3, 6, 3);
    QRect badge(area.bottomRight() + QPoint(8, 8), text.size());
    if (!rect().contains(badge))
        badge.moveBottomRight(area.bottomRight() - QPoint(6, 6));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 190));
    painter.drawRoundedRect(badge, 5, 5);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, label);
}

void AreaSelector::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_dragging = false;
    m_anchor = m_current = event->position().toPoint();
}

void AreaSelector::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed)
        return;
    m_current = event->position().toPoint();
    if (!m_dragging &&
        (m_current - m_anchor).manhattanLength() >= QApplication::startDragDistance())
        m_dragging = true;
    update();
}

void AreaSelector::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    m_current = event->position().toPoint();
    const QRect area = selection();
    if (!m_dragging || area.isEmpty()) {
        done(QImage());
        return;
    }
    const double sx = double(m_frozen.width()) / std::max(1, m_geometry.width());
    const double sy = double(m_frozen.height()) / std::max(1, m_geometry.height());
    const QRect pixels = QRectF(area.x() * sx, area.y() * sy, area.width() * sx, area.height() * sy)
                             .toAlignedRect()
                             .intersected(m_frozen.rect());
    done(m_frozen.copy(pixels));
}

void AreaSelector::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        done(QImage());
}

void AreaSelector::done(const QImage& area) {
    if (m_done)
        return;
    m_done = true;
    if (QWindow* window = windowHandle()) {
        window->setKeyboardGrabEnabled(false);
        window->setMouseGrabEnabled(false);
    }
    hide();
    emit finished(area);
}
