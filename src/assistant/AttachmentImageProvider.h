#pragma once

#include <QQuickImageProvider>

class QQmlEngine;

namespace notchora {

// Serves "image://attachments/<id>": the attachment's thumbnail filled into a square with
// corners rounded by a fifth of its side, at the size the view asks for.
class AttachmentImageProvider : public QQuickImageProvider {
public:
    static constexpr auto providerId = "attachments";

    AttachmentImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // The square, rounded picture the strip shows; `side` 0 keeps the shorter side.
    static QImage roundedSquare(const QImage& image, int side);
    static QString sourceFor(const QUuid& id);
};

// Makes the thumbnails of the attachment lists reachable from `engine`'s views.
void registerAttachmentImages(QQmlEngine& engine);

} // namespace notchora
