#include "core/KeyboardLease.h"

#include "platform/WindowSystem.h"

#include <QCoreApplication>
#include <QInputMethodQueryEvent>

namespace notchora {

namespace {

bool isTextField(QObject* object) {
    if (!object)
        return false;
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(object, &query);
    return query.value(Qt::ImEnabled).toBool();
}

} // namespace

KeyboardLease::KeyboardLease(QWindow& window, WindowSystem& windows, std::function<bool()> mayTake)
    : m_window(window), m_windows(windows), m_mayTake(std::move(mayTake)) {
    connect(&window, &QWindow::focusObjectChanged, this, &KeyboardLease::followFocusItem);
}

void KeyboardLease::followFocusItem() {
    if (isTextField(m_window.focusObject())) {
        if (!m_held && m_mayTake())
            take();
    } else if (m_held) {
        release();
    }
}

void KeyboardLease::take() {
    m_previousFocus = m_windows.focusedWindow();
    m_held = true;
    m_window.setFlag(Qt::WindowDoesNotAcceptFocus, false);
    m_windows.focusWithoutRaising(&m_window);
}

void KeyboardLease::release() {
    if (!m_held)
        return;
    m_held = false;
    m_window.setFlag(Qt::WindowDoesNotAcceptFocus, true);
    if (QObject* field = m_window.focusObject(); isTextField(field))
        field->setProperty("focus", false);
    // Only if we still have it: the user may have moved on to another window.
    if (m_windows.focusedWindow() == m_window.winId() && m_previousFocus != m_window.winId())
        m_windows.restoreFocus(m_previousFocus);
    m_previousFocus = 0;
}

} // namespace notchora
