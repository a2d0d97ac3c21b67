// Drags a box across a 5120 × 1440 capture in the real editor window and times each step
// from the pointer move to the finished frame, next to a frame where nothing changed (the
// platform's own cost). Target: at most 8 ms per step.
//   bench_annotationdrag [steps]
// Runs on whatever platform the environment names (offscreen, or xcb under Xvfb for the
// GPU path through Mesa).
#include "TestImages.h"
#include "platform/Clock.h"
#include "screenshot/AnnotationEditor.h"
#include "screenshot/AnnotationWindowController.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QQmlEngineExtensionPlugin>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

using namespace notchora;

namespace {

// Waits for the next frame the window finishes; false when none came within a second.
bool nextFrame(QQuickWindow* window) {
    QEventLoop loop;
    bool swapped = false;
    QObject::connect(window, &QQuickWindow::frameSwapped, &loop, [&] {
        swapped = true;
        loop.quit();
    });
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    return swapped;
}

double percentile(std::vector<double> times, double p) {
    std::sort(times.begin(), times.end());
    return times[std::min(times.size() - 1, size_t(p * double(times.size())))];
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(2, atoi(argv[1])) : 120;
    const QSize pixels(5120, 1440);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("capture.png"));
    if (!test::screenshotLike(pixels.width(), pixels.height()).save(path, "PNG")) {
        std::fputs("cannot write the capture\n", stderr);
        return 1;
    }
    AnnotationWindowController controller(Clock::system());
    if (!controller.show(path)) {
        std::fputs("the editor did not open\n", stderr);
        return 1;
    }
    QQuickWindow* window = controller.window();
    if (!QTest::qWaitForWindowExposed(window)) {
        std::fputs("the editor window was never shown\n", stderr);
        return 1;
    }
    nextFrame(window);
    AnnotationEditor* editor = controller.editor();

    std::vector<double> times;
    int missed = 0;
    editor->press(QPointF(200, 150));
    for (int i = 1; i <= steps; ++i) {
        const QPointF to(200 + i * 4000.0 / steps, 150 + i * 1100.0 / steps);
        QElapsedTimer timer;
        timer.start();
        editor->drag(to);
        if (!nextFrame(window))
            ++missed;
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    editor->release(QPointF(4200, 1250));

    // The same number of frames with nothing changed: what the platform costs per frame.
    std::vector<double> bare;
    for (int i = 0; i < steps; ++i) {
        QElapsedTimer timer;
        timer.start();
        window->update();
        nextFrame(window);
        bare.push_back(timer.nsecsElapsed() / 1e6);
    }

    std::printf("platform %s, capture %dx%d, window %dx%d, %d steps%s\n",
                qPrintable(QGuiApplication::platformName()), pixels.width(), pixels.height(),
                window->width(), window->height(), steps,
                missed ? qPrintable(QStringLiteral(" (%1 without a frame)").arg(missed)) : "");
    std::printf("per drag step: median %.2f ms, p90 %.2f ms, max %.2f ms (target <= 8 ms)\n",
                percentile(times, 0.5), percentile(times, 0.9), percentile(times, 1.0));
    std::printf("unchanged frame: median %.2f ms, p90 %.2f ms\n", percentile(bare, 0.5),
                percentile(bare, 0.9));
    return 0;
}
