#include "screenshot/AnnotatedCanvas.h"

#include "screenshot/AnnotationEditor.h"

#include <QPainter>

namespace notchora {

AnnotatedCanvas::AnnotatedCanvas(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    setMipmap(true);
}

void AnnotatedCanvas::setEditor(AnnotationEditor* editor) {
    if (m_editor == editor)
        return;
    if (m_editor)
        m_editor->disconnect(this);
    m_editor = editor;
    m_cache = QImage();
    if (m_editor) {
        connect(m_editor, &AnnotationEditor::boxesChanged, this, [this] { update(); });
        connect(m_editor, &AnnotationEditor::draftChanged, this, [this] { update(); });
    }
    emit editorChanged();
    update();
}

void AnnotatedCanvas::paint(QPainter* painter) {
    if (!m_editor)
        return;
    const QSizeF points = m_editor->imageSize();
    if (points.isEmpty() || width() <= 0 || height() <= 0)
        return;
    const QSize texture = textureSize().isValid() ? textureSize() : size().toSize();
    if (m_cache.size() != texture) {
        m_cache =
            m_editor->image().scaled(texture, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_cache.setDevicePixelRatio(1.0);
    }
    painter->save();
    painter->scale(width() / points.width(), height() / points.height());
    AnnotationEditor::paint(*painter, m_cache, points, m_editor->boxes(), m_editor->draft());
    painter->restore();
}

} // namespace notchora
