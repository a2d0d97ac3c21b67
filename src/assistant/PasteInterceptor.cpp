#include "assistant/PasteInterceptor.h"

#include "assistant/ClipboardImage.h"

#include <QKeyEvent>

namespace notchora {

PasteInterceptor::PasteInterceptor(QObject* field) : QObject(field), m_field(field) {
    if (m_field)
        m_field->installEventFilter(this);
}

void PasteInterceptor::setActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    emit activeChanged();
}

bool PasteInterceptor::isImagePasteKey(const QKeyEvent& event) {
    constexpr Qt::KeyboardModifiers chords =
        Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    return event.key() == Qt::Key_V && (event.modifiers() & chords) == Qt::ControlModifier;
}

bool PasteInterceptor::eventFilter(QObject* watched, QEvent* event) {
    if (!m_active || watched != m_field || event->type() != QEvent::KeyPress)
        return false;
    if (!isImagePasteKey(*static_cast<QKeyEvent*>(event)))
        return false;
    // Read only now: the clipboard may have changed since the field took focus.
    std::optional<QByteArray> image = ClipboardImage::imageData();
    if (!image)
        return false;
    event->accept();
    emit imagePasted(*image);
    return true;
}

} // namespace notchora
