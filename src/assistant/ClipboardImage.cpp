#include "assistant/ClipboardImage.h"

#include "assistant/Logging.h"

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QMimeDatabase>
#include <QUrl>

namespace notchora {

namespace {

std::optional<QUrl> firstFileUrl(const QMimeData& data) {
    if (!data.hasUrls())
        return std::nullopt;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile())
            return url;
    return std::nullopt;
}

// Whether the name says image; the contents are left to the decoder.
bool namesAnImage(const QString& path) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return type.name().startsWith(QLatin1String("image/"));
}

std::optional<QByteArray> readImageFile(const QString& path) {
    const QFileInfo info(path);
    // Only regular files: a device or a pipe named like an image would never end.
    if (!info.isFile()) {
        qCWarning(lcAssistant) << "Copied image is not a readable file:" << path;
        return std::nullopt;
    }
    if (info.size() > ClipboardImage::maxFileBytes) {
        qCWarning(lcAssistant) << "Copied image is too large to read:" << path << info.size();
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcAssistant) << "Cannot read copied image" << path << file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.read(ClipboardImage::maxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > ClipboardImage::maxFileBytes) {
        qCWarning(lcAssistant) << "Cannot read copied image" << path << file.errorString();
        return std::nullopt;
    }
    return bytes;
}

// Copied text itself: QMimeData::hasText() would also count a list of URLs.
bool holdsText(const QMimeData& data) {
    for (const QString& format :
         {QStringLiteral("text/plain;charset=utf-8"), QStringLiteral("text/plain")})
        if (data.hasFormat(format) && !data.data(format).isEmpty())
            return true;
    return false;
}

// An image copied inside this program is held as a QImage, not as encoded bytes.
std::optional<QByteArray> inProcessImage(const QMimeData& data) {
    const QImage image = qvariant_cast<QImage>(data.imageData());
    if (image.isNull())
        return std::nullopt;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return std::nullopt;
    return png;
}

} // namespace

std::optional<QByteArray> ClipboardImage::imageData() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data)
        return std::nullopt;
    return imageData(*data);
}

std::optional<QByteArray> ClipboardImage::imageData(const QMimeData& data) {
    if (const std::optional<QUrl> url = firstFileUrl(data)) {
        const QString path = url->toLocalFile();
        if (namesAnImage(path))
            if (std::optional<QByteArray> bytes = readImageFile(path))
                return bytes;
    }
    // Text on the clipboard makes this a text paste, whatever else was copied with it.
    if (holdsText(data))
        return std::nullopt;
    static const QString png = QStringLiteral("image/png");
    static const QString tiff = QStringLiteral("image/tiff");
    if (data.hasFormat(png)) {
        if (QByteArray bytes = data.data(png); !bytes.isEmpty())
            return bytes;
    }
    if (data.hasFormat(tiff)) {
        if (QByteArray bytes = data.data(tiff); !bytes.isEmpty())
            return bytes;
    }
    if (data.hasImage())
        return inProcessImage(data);
    return std::nullopt;
}

} // namespace notchora
