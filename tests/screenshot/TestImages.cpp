#include "TestImages.h"

#include <QBuffer>
#include <QDir>
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
    for (int w = 0; w < 6; ++w) {
        const QRect window(random.bounded(width / 2), random.bounded(height / 2),
                           width / 3 + random.bounded(width / 4),
                           height / 3 + random.bounded(height / 4));
        p.fillRect(window, QColor(245, 245, 245));
        for (int y = window.y() + 40; y < window.bottom() - 12; y += 18)
            for (int x = window.x() + 12, word = 0; x < window.right() - 40; x += word + 6) {
                word = 10 + random.bounded(50);
                p.fillRect(x, y, word, 9, QColor::fromRgb(random.bounded(0x5a5a78u)));
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

QString writeScript(const QString& path, const QByteArray& body) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write("#!/bin/sh\n" + body + "\n");
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace notchora::test
