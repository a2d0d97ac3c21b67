#include "TestImages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>

namespace notchora::test {

QImage screenshotLike(int width, int height, quint32 seed) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    QPainter p(&image);
    QLinearGradient sky(0, 0, width, height);
    sky.setColorAt(0, QColor(40, 60, 110));
    sky.setColorAt(1, QColor(190, 120, 80));
    p.fillRect(image.rect(), sky);
    // Windows with "text": many short strokes, the way a busy screen looks to JPEG.
    for (int w = 0; w < 6; ++w) {
        const QRect window(random.bounded(width / 2), random.bounded(height / 2),
                           width / 3 + random.bounded(width / 4),
                           height / 3 + random.bounded(height / 4));
        p.fillRect(window, QColor(245, 245, 245));
        p.fillRect(window.x(), window.y(), window.width(), 28, QColor(220, 220, 225));
        for (int y = window.y() + 40; y < window.bottom() - 12; y += 18)
            for (int x = window.x() + 12; x < window.right() - 40;) {
                const int word = 10 + random.bounded(50);
                p.fillRect(
                    x, y, word, 9,
                    QColor::fromRgb(random.bounded(90), random.bounded(90), random.bounded(120)));
                x += word + 6;
            }
    }
    return image;
}

QByteArray encoded(const QImage& image, const char* format, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

QByteArray withExifOrientation(const QByteArray& jpeg, quint16 orientation) {
    QByteArray exif;
    exif += QByteArray::fromHex("ffe10022");           // APP1, length 34
    exif += QByteArray("Exif\0\0", 6);                 // identifier
    exif += QByteArray::fromHex("4d4d002a00000008");   // big-endian TIFF, IFD at 8
    exif += QByteArray::fromHex("0001");               // one entry
    exif += QByteArray::fromHex("011200030000000100"); // Orientation, SHORT, 1 value
    exif += char(orientation);
    exif += QByteArray::fromHex("0000");
    exif += QByteArray::fromHex("00000000"); // no next IFD
    return jpeg.left(2) + exif + jpeg.mid(2);
}

QString writeScript(const QString& path, const QByteArray& body) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    return path;
}

QString writeFlatPicture(const QString& path, QSize pixels, double dpi, QRgb color) {
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(color);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.save(path, "PNG");
    return path;
}

} // namespace notchora::test
