#pragma once

#include "screenshot/AnnotationEditor.h"

#include <QImage>
#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

namespace notchora {

// The picture with its boxes and the box being dragged. Laid out at the picture's point
// size; the view scales it to fit. The picture becomes one texture, reduced once to the
// size it is shown at, and each box is four plain rectangles: a drag step moves a few
// rectangles and never repaints or uploads the picture.
class AnnotatedCanvas : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(
        notchora::AnnotationEditor* editor READ editor WRITE setEditor NOTIFY editorChanged FINAL)
public:
    explicit AnnotatedCanvas(QQuickItem* parent = nullptr);

    AnnotationEditor* editor() const { return m_editor; }
    void setEditor(AnnotationEditor* editor);

signals:
    void editorChanged();

protected:
    QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;
    void itemChange(ItemChange change, const ItemChangeData& value) override;

private:
    // Pixel size the picture covers on screen, never more than its own.
    QSize shownPixelSize() const;

    QPointer<AnnotationEditor> m_editor;
    bool m_pictureChanged = true;
};

} // namespace notchora
