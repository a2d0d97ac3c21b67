// notchora-screencapture: captures the screen the way the program asks for it.
//   -x -t jpg PATH    the whole screen, silently, as JPEG
//   -i -s PATH        an area the user drags over a frozen screen, as PNG, with a shutter
//   -i -s -x PATH     the same without the shutter
// Exit status 0 whether or not a picture was taken (Escape writes nothing); callers judge
// by the file. A file already at PATH is never replaced: the picture goes to the next free
// "PATH (n)" name instead.
#include "AreaSelector.h"
#include "screenshot/ScreenshotFile.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <xcb/xcb.h>

namespace {

enum class Mode { Invalid, FullScreenJpeg, Area };

struct Request {
    Mode mode = Mode::Invalid;
    bool silent = false;
    QString path;
};

Request parse(const QStringList& args) {
    Request r;
    if (args.size() == 4 && args[0] == "-x" && args[1] == "-t" && args[2] == "jpg")
        r = {Mode::FullScreenJpeg, true, args[3]};
    else if (args.size() == 3 && args[0] == "-i" && args[1] == "-s")
        r = {Mode::Area, false, args[2]};
    else if (args.size() == 4 && args[0] == "-i" && args[1] == "-s" && args[2] == "-x")
        r = {Mode::Area, true, args[3]};
    if (r.path.isEmpty() || r.path.startsWith(QLatin1Char('-')))
        r.mode = Mode::Invalid;
    return r;
}

int usage() {
    std::fputs("usage: notchora-screencapture -x -t jpg PATH\n"
               "       notchora-screencapture -i -s [-x] PATH\n",
               stderr);
    return 64;
}

// The whole virtual desktop, every screen, at the screens' own pixel density.
QImage grabDesktop() {
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return QImage();
    const QRect desktop = primary->virtualGeometry();
    return primary->grabWindow(0, desktop.x(), desktop.y(), desktop.width(), desktop.height())
        .toImage();
}

// The screen's scale goes into the file as its density (96 dpi per point), so a reader can
// show the picture at on-screen size: a 2x desktop gives 192 dpi.
QImage withScale(QImage image, double scale) {
    const int dotsPerMeter = qRound(96.0 * std::max(1.0, scale) / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image;
}

bool write(const QImage& image, const char* format, const QString& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (qstrcmp(format, "jpeg") == 0)
        writer.setQuality(90);
    if (!writer.write(image)) {
        std::fprintf(stderr, "notchora-screencapture: cannot encode the picture: %s\n",
                     qPrintable(writer.errorString()));
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString error;
    if (notchora::ScreenshotFile::writeNew(path, bytes, &error).isEmpty()) {
        std::fprintf(stderr, "notchora-screencapture: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(error));
        return false;
    }
    return true;
}

// The desktop's shutter sound when one is installed; silence is fine otherwise.
void playShutter() {
    const QString canberra = QStandardPaths::findExecutable(QStringLiteral("canberra-gtk-play"));
    if (!canberra.isEmpty() &&
        QProcess::startDetached(canberra, {QStringLiteral("-i"), QStringLiteral("camera-shutter")}))
        return;
    const QString paplay = QStandardPaths::findExecutable(QStringLiteral("paplay"));
    const QString sound = QStringLiteral("/usr/share/sounds/freedesktop/stereo/camera-shutter.oga");
    if (!paplay.isEmpty() && QFileInfo::exists(sound))
        QProcess::startDetached(paplay, {sound});
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const Request request = parse(args);
    if (request.mode == Mode::Invalid)
        return usage();
    // The toolkit aborts on a display it cannot reach; ask the server first.
    xcb_connection_t* probe = xcb_connect(nullptr, nullptr);
    const bool reachable = !xcb_connection_has_error(probe);
    xcb_disconnect(probe);
    if (qEnvironmentVariableIsEmpty("DISPLAY") || !reachable) {
        std::fputs("notchora-screencapture: no X11 display to capture\n", stderr);
        return 69;
    }
    // Pixels come from the X server, whatever platform the caller's environment names.
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);

    const QImage desktop = grabDesktop();
    if (desktop.isNull()) {
        std::fputs("notchora-screencapture: the screen could not be read\n", stderr);
        return 70;
    }
    QScreen* primary = QGuiApplication::primaryScreen();
    // Pixels per point of the desktop; grabs come back in device pixels.
    const double scale = double(desktop.width()) / std::max(1, primary->virtualGeometry().width());
    if (request.mode == Mode::FullScreenJpeg)
        return write(withScale(desktop, scale), "jpeg", request.path) ? 0 : 73;

    AreaSelector selector(desktop, primary->virtualGeometry());
    int status = 0;
    QObject::connect(&selector, &AreaSelector::finished, &app, [&](const QImage& area) {
        if (!area.isNull()) {
            if (write(withScale(area, scale), "png", request.path)) {
                if (!request.silent)
                    playShutter();
            } else {
                status = 73;
            }
        }
        app.quit();
    });
    selector.start();
    app.exec();
    return status;
}
