#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace notchora::test {

// A busy, screenshot-like picture (windows of text-like strokes on a gradient), the same for a
// given seed.
QImage screenshotLike(int width, int height, quint32 seed = 7);
QByteArray encoded(const QImage& image, const char* format, int quality = -1);
QString writeScript(const QString& path, const QByteArray& body);

} // namespace notchora::test
