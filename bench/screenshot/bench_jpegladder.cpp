// Encodes a 2880 × 1800 screenshot-like JPEG through each rung of the upload ladder and
// compares rung 1 with ImageMagick doing the same job. Target: our rung 1 in at most half
// of ImageMagick's time.
//   bench_jpegladder [runs]        NOTCHORA_CONVERT=/path/to/convert picks ImageMagick
#include "TestImages.h"
#include "screenshot/ScreenCapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using notchora::ScreenCapture;

namespace {

template <typename F> double medianMs(int runs, F&& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QString imageMagick() {
    const QString chosen = qEnvironmentVariable("NOTCHORA_CONVERT");
    if (!chosen.isEmpty())
        return chosen;
    const QString magick = QStandardPaths::findExecutable(QStringLiteral("magick"));
    return magick.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("convert")) : magick;
}

bool runQuiet(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    const QByteArray input =
        notchora::test::encoded(notchora::test::screenshotLike(2880, 1800), "jpeg", 90);
    std::printf("input: 2880x1800 JPEG, %lld bytes, median of %d runs\n\n",
                static_cast<long long>(input.size()), runs);
    std::printf("rung  max px  quality   out size      bytes    time ms\n");
    double ours = 0;
    for (size_t i = 0; i < ScreenCapture::ladder.size(); ++i) {
        const auto rung = ScreenCapture::ladder[i];
        ScreenCapture::Result result;
        const double ms = medianMs(
            runs, [&] { result = ScreenCapture::downscale(input, rung.maxPixel, rung.quality); });
        if (!result.ok()) {
            std::printf("%4zu  failed\n", i + 1);
            return 1;
        }
        if (i == 0)
            ours = ms;
        std::printf("%4zu  %6d  %7.2f  %4dx%-4d  %9lld  %9.1f\n", i + 1, rung.maxPixel,
                    rung.quality, result.image->width, result.image->height,
                    static_cast<long long>(result.image->data.size()), ms);
    }

    const QString convert = imageMagick();
    if (convert.isEmpty()) {
        std::printf("\nImageMagick not found: comparison skipped\n");
        return 0;
    }
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.jpg"));
    const QString out = dir.filePath(QStringLiteral("out.jpg"));
    QFile file(in);
    if (!file.open(QIODevice::WriteOnly) || file.write(input) != input.size())
        return 1;
    file.close();
    const QStringList args{in,
                           QStringLiteral("-auto-orient"),
                           QStringLiteral("-resize"),
                           QStringLiteral("1920x1920>"),
                           QStringLiteral("-quality"),
                           QStringLiteral("75"),
                           out};
    if (!runQuiet(convert, args)) {
        std::printf("\n%s failed: comparison skipped\n", qPrintable(convert));
        return 0;
    }
    const double theirs = medianMs(runs, [&] { runQuiet(convert, args); });
    const double startup = medianMs(runs, [&] { runQuiet(convert, {QStringLiteral("-version")}); });
    std::printf("\nImageMagick (%s), rung 1: %.1f ms, %lld bytes (start-up alone %.1f ms)\n",
                qPrintable(convert), theirs, static_cast<long long>(QFile(out).size()), startup);
    std::printf("ratio ours / ImageMagick: %.2f (target <= 0.50)\n", ours / theirs);
    std::printf("ratio without ImageMagick's start-up: %.2f\n",
                ours / std::max(0.001, theirs - startup));
    return 0;
}
