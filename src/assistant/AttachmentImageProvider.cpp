#include "assistant/AttachmentImageProvider.h"

#include "assistant/AttachmentThumbnails.h"
#include "assistant/Logging.h"

#include <QPainter>
#include <QPainterPath>
#include <QQmlEngine>
#include <QUuid>
#include <algorithm>

namespace notchora {

QImage AttachmentImageProvider::requestImage(const QString& id, QSize* size,
                                             const QSize& requestedSize) {
    const QUuid uuid = QUuid::fromString(id);
    const QImage thumbnail =
        uuid.isNull() ? QImage() : AttachmentThumbnails::shared().thumbnail(uuid);
    if (thumbnail.isNull()) {
        qCWarning(lcAssistant) << "No thumbnail for attachment" << id;
        return {};
    }
    int side = 0;
    if (requestedSize.width() > 0 && requestedSize.height() > 0)
        side = std::min(requestedSize.width(), requestedSize.height());
    else
        side = std::max(requestedSize.width(), requestedSize.height());
    const QImage result = roundedSquare(thumbnail, side);
    if (size)
        *size = result.size();
    return result;
}

QImage AttachmentImageProvider::roundedSquare(const QImage& image, int side) {
    if (image.isNull())
        return {};
    if (side <= 0)
        side = std::min(image.width(), image.height());
    const QImage filled =
        image.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    QImage result(side, side, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath corners;
    corners.addRoundedRect(QRectF(0, 0, side, side), 0.2 * side, 0.2 * side);
    // Filling the path with the picture keeps the corners antialiased, unlike a clip.
    QBrush picture(filled);
    picture.setTransform(
        QTransform::fromTranslate((side - filled.width()) / 2.0, (side - filled.height()) / 2.0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(picture);
    painter.drawPath(corners);
    painter.end();
    return result;
}

QString AttachmentImageProvider::sourceFor(const QUuid& id) {
    return QStringLiteral("image://%1/%2")
        .arg(QLatin1String(providerId), id.toString(QUuid::WithoutBraces));
}

void registerAttachmentImages(QQmlEngine& engine) {
    const QString id = QLatin1String(AttachmentImageProvider::providerId);
    if (!engine.imageProvider(id))
        engine.addImageProvider(id, new AttachmentImageProvider);
}

} // namespace notchora
