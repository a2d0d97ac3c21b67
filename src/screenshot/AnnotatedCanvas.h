#pragma once

#include "screenshot/AnnotationEditor.h"

#include <QImage>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// The picture with its boxes and the box being dragged, drawn by the same code as the
// export. Laid out at the picture's point size; the view scales it to fit.
class AnnotatedCanvas : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(
        notchora::AnnotationEditor* editor READ editor WRITE setEditor NOTIFY editorChanged FINAL)
public:
    explicit AnnotatedCanvas(QQuickItem* parent = nullptr);

    AnnotationEditor* editor() const { return m_editor; }
    void setEditor(AnnotationEditor* editor);
    void paint(QPainter* painter) override;

signals:
    void editorChanged();

private:
    QPointer<AnnotationEditor> m_editor;
    // The picture reduced once to the texture's size, so a drag repaints cheaply.
    QImage m_cache;
};

} // namespace notchora
