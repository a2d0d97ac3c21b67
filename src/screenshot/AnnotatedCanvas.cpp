#include "screenshot/AnnotatedCanvas.h"

#include "screenshot/AnnotationEditor.h"

#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGRectangleNode>
#include <QSGTexture>
#include <QSGTransformNode>
#include <cmath>

namespace notchora {

namespace {

const QColor boxColor(255, 59, 48);

// The picture (its node owns the texture) and, above it, the bands of every box.
struct PictureNode : QSGNode {
    QSGImageNode* image = nullptr;
    // A transform node, though it never moves: the software renderer places children added
    // later under their parent's recorded state, which it keeps for transform nodes only.
    QSGTransformNode* boxes = nullptr;
    QSize textureSize;
};

} // namespace

AnnotatedCanvas::AnnotatedCanvas(QQuickItem* parent) : QQuickItem(parent) {
    setFlag(ItemHasContents);
    // The view scales the canvas to fit; the picture is reduced again for the new size.
    connect(this, &QQuickItem::scaleChanged, this, &QQuickItem::update);
    connect(this, &QQuickItem::widthChanged, this, &QQuickItem::update);
    connect(this, &QQuickItem::heightChanged, this, &QQuickItem::update);
}

void AnnotatedCanvas::setEditor(AnnotationEditor* editor) {
    if (m_editor == editor)
        return;
    if (m_editor)
        m_editor->disconnect(this);
    m_editor = editor;
    m_pictureChanged = true;
    if (m_editor) {
        connect(m_editor, &AnnotationEditor::boxesChanged, this, &QQuickItem::update);
        connect(m_editor, &AnnotationEditor::draftChanged, this, &QQuickItem::update);
    }
    emit editorChanged();
    update();
}

void AnnotatedCanvas::itemChange(ItemChange change, const ItemChangeData& value) {
    if (change == ItemDevicePixelRatioHasChanged || change == ItemSceneChange)
        update();
    QQuickItem::itemChange(change, value);
}

QSize AnnotatedCanvas::shownPixelSize() const {
    const QSize full = m_editor->image().size();
    if (width() <= 0 || height() <= 0 || !window())
        return full;
    const QRectF shown = mapRectToScene(QRectF(0, 0, width(), height()));
    const double ratio = window()->effectiveDevicePixelRatio();
    const QSize wanted(int(std::ceil(shown.width() * ratio)),
                       int(std::ceil(shown.height() * ratio)));
    if (wanted.isEmpty() || wanted.width() >= full.width() || wanted.height() >= full.height())
        return full;
    return wanted;
}

QSGNode* AnnotatedCanvas::updatePaintNode(QSGNode* old, UpdatePaintNodeData*) {
    auto* node = static_cast<PictureNode*>(old);
    if (!m_editor || m_editor->image().isNull() || width() <= 0 || height() <= 0) {
        delete node;
        return nullptr;
    }
    if (!node) {
        node = new PictureNode;
        node->image = window()->createImageNode();
        node->image->setOwnsTexture(true);
        node->image->setFiltering(QSGTexture::Linear);
        node->appendChildNode(node->image);
        node->boxes = new QSGTransformNode;
        node->appendChildNode(node->boxes);
        m_pictureChanged = true;
    }

    const QSize texture = shownPixelSize();
    if (m_pictureChanged || texture != node->textureSize) {
        QImage picture = m_editor->image();
        if (texture != picture.size())
            picture = picture.scaled(texture, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        picture.setDevicePixelRatio(1.0);
        node->image->setTexture(window()->createTextureFromImage(picture));
        node->textureSize = texture;
        m_pictureChanged = false;
    }
    node->image->setRect(QRectF(0, 0, width(), height()));

    // Items work in the picture's points, like the boxes.
    const QSizeF points = m_editor->imageSize();
    const double sx = width() / points.width();
    const double sy = height() / points.height();
    QList<QRectF> bands;
    auto add = [&](const AnnotationBox& box) {
        for (const QRectF& band : box.bands())
            if (!band.isEmpty())
                bands.append(
                    QRectF(band.x() * sx, band.y() * sy, band.width() * sx, band.height() * sy));
    };
    for (const AnnotationBox& box : m_editor->boxes())
        add(box);
    if (m_editor->draft())
        add(*m_editor->draft());

    while (node->boxes->childCount() > bands.size()) {
        QSGNode* last = node->boxes->lastChild();
        node->boxes->removeChildNode(last);
        delete last;
    }
    while (node->boxes->childCount() < bands.size()) {
        QSGRectangleNode* band = window()->createRectangleNode();
        band->setColor(boxColor);
        node->boxes->appendChildNode(band);
    }
    QSGNode* child = node->boxes->firstChild();
    for (const QRectF& band : bands) {
        static_cast<QSGRectangleNode*>(child)->setRect(band);
        child = child->nextSibling();
    }
    return node;
}

} // namespace notchora
