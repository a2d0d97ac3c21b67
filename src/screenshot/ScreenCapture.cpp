#include "screenshot/ScreenCapture.h"

#include "platform/Clock.h"
#include "screenshot/CaptureTask.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QtConcurrent>
#include <cmath>

namespace notchora {

QString ScreenCapture::description(CaptureError error) {
    switch (error) {
    case CaptureError::permissionDenied:
        return QStringLiteral(
            "Notchora belum diizinkan merekam layar. Buka System Settings → Privacy & "
            "Security → Screen & System Audio Recording, nyalakan Notchora, lalu coba lagi.");
    case CaptureError::captureFailed:
        return QStringLiteral("Gagal mengambil screenshot layar.");
    case CaptureError::tooLarge:
        return QStringLiteral("Screenshot terlalu besar untuk dikirim walau sudah dikecilkan.");
    }
    return QString();
}

QString ScreenCapture::Result::errorMessage() const {
    if (error)
        return description(*error);
    return launchError;
}

bool ScreenCapture::preflightAccess() {
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return false;
    // A local display ":N" is reachable only when its socket is there; remote displays are
    // left to the tool to judge.
    static const QRegularExpression local(QStringLiteral("^(?:unix)?:(\\d+)(?:\\.\\d+)?$"));
    const auto match = local.match(display);
    if (!match.hasMatch())
        return true;
    return QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X") + match.captured(1));
}

QString ScreenCapture::toolPath() {
    const QString override = qEnvironmentVariable("NOTCHORA_SCREENCAPTURE_TOOL");
    if (!override.isEmpty())
        return override;
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral("notchora-screencapture"));
}

CaptureTask* ScreenCapture::capture(qint64 maxBytes, QObject* owner, Clock& clock) {
    auto* task = new CaptureTask(maxBytes, clock, owner);
    task->start();
    return task;
}

CaptureTask* ScreenCapture::capture(qint64 maxBytes, QObject* owner) {
    return capture(maxBytes, owner, Clock::system());
}

void ScreenCapture::encode(const QByteArray& data, qint64 maxBytes, QObject* receiver,
                           std::function<void(const Result&)> done) {
    auto* watcher = new QFutureWatcher<Result>(receiver);
    QObject::connect(watcher, &QFutureWatcher<Result>::finished, receiver,
                     [watcher, done = std::move(done)] {
                         const Result result = watcher->result();
                         watcher->deleteLater();
                         done(result);
                     });
    watcher->setFuture(QtConcurrent::run(&ScreenCapture::fit, data, maxBytes));
}

ScreenCapture::Result ScreenCapture::fit(const QByteArray& data, qint64 maxBytes) {
    for (const Rung& rung : ladder) {
        // Every rung starts again from the original bytes.
        Result result = downscale(data, rung.maxPixel, rung.quality);
        if (!result.ok())
            return result;
        if (result.image->data.size() <= maxBytes)
            return result;
    }
    return Result::failure(CaptureError::tooLarge);
}

ScreenCapture::Result ScreenCapture::downscale(const QByteArray& data, int maxPixel,
                                               double quality) {
    const Result failed = Result::failure(CaptureError::captureFailed);
    QBuffer input;
    input.setData(data);
    input.open(QIODevice::ReadOnly);
    QImageReader reader(&input);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty())
        return failed;
    // The longest side is the same before and after the orientation is applied.
    const int longest = std::max(stored.width(), stored.height());
    if (longest > maxPixel) {
        const double factor = double(maxPixel) / longest;
        reader.setScaledSize(QSize(std::max(1, int(std::lround(stored.width() * factor))),
                                   std::max(1, int(std::lround(stored.height() * factor)))));
    }
    QImage image = reader.read();
    if (image.isNull())
        return failed;
    if (image.hasAlphaChannel()) {
        // JPEG has no transparency: put pasted cut-outs on white rather than black.
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = flat;
    }

    QByteArray bytes;
    QBuffer output(&bytes);
    output.open(QIODevice::WriteOnly);
    QImageWriter writer(&output, "jpeg");
    writer.setQuality(std::clamp(int(std::lround(quality * 100)), 0, 100));
    if (!writer.write(image) || bytes.isEmpty())
        return failed;
    return Result::success(EncodedImage{bytes, image.width(), image.height()});
}

} // namespace notchora
