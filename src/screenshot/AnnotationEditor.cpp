#include "screenshot/AnnotationEditor.h"

#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "screenshot/ScreenshotDestination.h"
#include "screenshot/ScreenshotFile.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QtMath>

namespace notchora {

AnnotationEditor::AnnotationEditor(QImage image, Clock& clock, QObject* parent)
    : QObject(parent), m_image(std::move(image)), m_clock(clock) {
    const double ratio = std::max(1.0, m_image.devicePixelRatio());
    m_pointSize = QSizeF(m_image.width() / ratio, m_image.height() / ratio);
    m_thickness = Defaults::shared().read(thicknessSetting);
}

void AnnotationEditor::setThickness(double thickness) {
    if (qFuzzyCompare(thickness, m_thickness))
        return;
    m_thickness = thickness;
    Defaults::shared().write(thicknessSetting, thickness);
    emit thicknessChanged();
}

QRectF AnnotationEditor::spanned(QPointF point) const {
    const QRectF bounds(QPointF(0, 0), m_pointSize);
    return QRectF(m_start, point).normalized().intersected(bounds);
}

void AnnotationEditor::press(QPointF point) {
    m_pressed = true;
    m_dragging = false;
    m_start = point;
}

void AnnotationEditor::drag(QPointF point) {
    if (!m_pressed)
        return;
    if (!m_dragging && QLineF(m_start, point).length() < minimumDragDistance)
        return;
    m_dragging = true;
    m_draft = AnnotationBox{QUuid::createUuid(), spanned(point), m_thickness};
    emit draftChanged();
}

void AnnotationEditor::release(QPointF point) {
    if (!m_pressed)
        return;
    m_pressed = false;
    const bool wasDragging = m_dragging || QLineF(m_start, point).length() >= minimumDragDistance;
    m_dragging = false;
    if (wasDragging) {
        const QRectF rect = spanned(point);
        if (rect.width() > 2 && rect.height() > 2) {
            m_boxes.append(AnnotationBox{QUuid::createUuid(), rect, m_thickness});
            emit boxesChanged();
        }
    }
    if (m_draft) {
        m_draft.reset();
        emit draftChanged();
    }
}

void AnnotationEditor::undo() {
    if (m_boxes.isEmpty())
        return;
    m_boxes.removeLast();
    emit boxesChanged();
}

void AnnotationEditor::clear() {
    if (m_boxes.isEmpty())
        return;
    m_boxes.clear();
    emit boxesChanged();
}

void AnnotationEditor::paint(QPainter& painter, const QImage& image, const QSizeF& pointSize,
                             const QList<AnnotationBox>& boxes,
                             const std::optional<AnnotationBox>& draft) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawImage(QRectF(QPointF(0, 0), pointSize), image);
    QPen pen(QColor(255, 59, 48));
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.setBrush(Qt::NoBrush);
    auto stroke = [&](const AnnotationBox& box) {
        pen.setWidthF(box.thickness);
        painter.setPen(pen);
        painter.drawRect(box.rect);
    };
    for (const AnnotationBox& box : boxes)
        stroke(box);
    if (draft)
        stroke(*draft);
}

QImage AnnotationEditor::renderedImage() const {
    if (m_image.isNull() || m_pointSize.isEmpty())
        return QImage();
    const double scale = std::max(m_image.width() / m_pointSize.width(), 1.0);
    QImage out(m_image.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.scale(scale, scale);
    QImage source = m_image;
    source.setDevicePixelRatio(1.0);
    paint(painter, source, m_pointSize, m_boxes, std::nullopt);
    painter.end();
    return out;
}

void AnnotationEditor::setMessage(const QString& message, bool isError) {
    if (message == m_message && isError == m_messageIsError)
        return;
    m_message = message;
    m_messageIsError = isError;
    emit messageChanged();
}

void AnnotationEditor::copy() {
    QImage image = renderedImage();
    if (image.isNull())
        return;
    image.setDevicePixelRatio(m_image.width() / m_pointSize.width());
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
        clipboard->setImage(image);
    }
    setMessage(QStringLiteral("Tersalin ke clipboard"), false);
    finish();
}

QString AnnotationEditor::save() {
    const QImage image = renderedImage();
    if (image.isNull())
        return QString();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(image) || png.isEmpty())
        return QString();
    const QString target = ScreenshotDestination(m_clock).destinationPath();
    QDir().mkpath(QFileInfo(target).absolutePath());
    const QString written = ScreenshotFile::writeNew(target, png);
    if (written.isEmpty()) {
        // Stay open with the boxes, so the user can still copy the picture instead.
        setMessage(QStringLiteral("Gagal menyimpan gambar. Periksa folder screenshot, lalu coba "
                                  "lagi atau salin ke clipboard."),
                   true);
        return QString();
    }
    setMessage(QStringLiteral("Tersimpan: ") + QFileInfo(written).fileName(), false);
    finish();
    return written;
}

void AnnotationEditor::cancel() {
    emit closeRequested();
}

void AnnotationEditor::finish() {
    if (m_closeTimer)
        m_closeTimer->cancel();
    // The timer belongs to this editor: if the window is replaced meanwhile, it goes too.
    m_closeTimer = m_clock.schedule(closeDelaySeconds, this, [this] { emit closeRequested(); });
}

} // namespace notchora
