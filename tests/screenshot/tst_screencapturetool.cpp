// The capture tool and the global keys, on a private X server.
#include "ProgramRun.h"
#include "TestEnvironment.h"
#include "TestImages.h"
#include "platform/Defaults.h"
#include "platform/X11GlobalShortcuts.h"
#include "screenshot/ScreenshotAction.h"
#include "screenshot/ScreenshotShortcuts.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

using namespace notchora;

namespace {

constexpr QSize screenSize(1024, 768);

// Every pixel tells where it is, so a crop can be checked pixel by pixel.
QRgb patternAt(int x, int y) {
    return qRgb(x * 255 / 1023, y * 255 / 767, (x * 7 + y * 13) & 0xff);
}

QString tool() {
    return test::TestEnvironment::binary("notchora-screencapture");
}

// Another client on the same display, taking Shift+Super+<keycode> before or after us.
class OtherClient {
public:
    bool grab(quint8 keycode) {
        xcb_generic_error_t* error = xcb_request_check(
            connection(), xcb_grab_key_checked(connection(), 1, m_root, modifiers, keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        free(error);
        return !error;
    }
    void release(quint8 keycode) {
        xcb_ungrab_key(connection(), keycode, m_root, modifiers);
        xcb_flush(connection());
    }

private:
    static constexpr quint16 modifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4;
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> m_connection{
        xcb_connect(nullptr, nullptr), &xcb_disconnect};
    xcb_window_t m_root = xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
    xcb_connection_t* connection() const { return m_connection.get(); }
};

} // namespace

class ScreenCaptureToolTest : public QObject {
    Q_OBJECT

    test::TestEnvironment m_env;
    QString m_noX = QStringLiteral("no X server"); // empty once the screen shows the pattern
    QImage m_pattern{screenSize, QImage::Format_RGB32};

    // Starts an area selection, performs the xdotool `input`, returns the tool's exit code.
    int select(const QStringList& args, const QString& input, const char* scale = nullptr) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (scale)
            environment.insert(QStringLiteral("QT_SCREEN_SCALE_FACTORS"), scale);
        process.setProcessEnvironment(environment);
        process.start(tool(), args);
        // The overlay names itself once it holds the pointer and the keyboard.
        if (test::runProgram("xdotool", {"search", "--sync", "--onlyvisible", "--name",
                                         "notchora-screencapture area"})
                .exitCode == 0)
            test::runProgram("xdotool", input.split(' '));
        if (!process.waitForFinished(10000))
            process.kill();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString path(const char* name) const { return m_env.root() + '/' + name; }
    static auto* x11() { return qApp->nativeInterface<QNativeInterface::QX11Application>(); }
    static quint8 keycode(char digit) {
        return quint8(XKeysymToKeycode(x11()->display(), KeySym(digit)));
    }

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo(tool()).isExecutable(), qPrintable(tool()));
        // x-session.sh gives this test its own X server.
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            m_noX = qEnvironmentVariable("NOTCHORA_NO_X", m_noX);
        else if (QStandardPaths::findExecutable("xdotool").isEmpty() ||
                 QStandardPaths::findExecutable("display").isEmpty())
            m_noX = QStringLiteral("xdotool or ImageMagick's display is not installed");
        else
            m_noX.clear();
        if (!m_noX.isEmpty())
            return;
        for (int y = 0; y < screenSize.height(); ++y)
            for (int x = 0; x < screenSize.width(); ++x)
                m_pattern.setPixel(x, y, patternAt(x, y));
        QVERIFY(m_pattern.save(path("pattern.png")));
        // Exit status of display is not telling; the captures show whether it worked.
        test::runProgram("display", {"-window", "root", path("pattern.png")});
    }
    void init() {
        if (!m_noX.isEmpty() && QByteArray(QTest::currentTestFunction()) != "refusals")
            QSKIP(qPrintable(m_noX));
    }
    // Refused runs say why with their documented code, not a toolkit abort, and write nothing.
    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("display"); // null: the test's own
        QTest::addColumn<int>("code");
        const QStringList full{"-x", "-t", "jpg", "out.jpg"};
        QTest::addRow("no arguments") << QStringList() << QString() << 64;
        QTest::addRow("png type") << QStringList{"-x", "-t", "png", "out.png"} << QString() << 64;
        QTest::addRow("no path") << QStringList{"-i", "-s", "-x"} << QString() << 64;
        QTest::addRow("path not last")
            << QStringList{"-i", "-s", "out.png", "-x"} << QString() << 64;
        QTest::addRow("extra") << QStringList{"-x", "-t", "jpg", "a.jpg", "b.jpg"} << QString()
                               << 64;
        QTest::addRow("no display") << full << "" << 69;
        QTest::addRow("no server there") << full << ":987" << 69;
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(QString, display);
        QFETCH(int, code);
        const QString cwd = path("cwd");
        QDir().mkpath(cwd);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!display.isNull())
            environment.insert("DISPLAY", display);
        const test::ProgramRun run = test::runProgram(tool(), args, environment, cwd);
        QCOMPARE(run.exitCode, code);
        QVERIFY2(run.err.contains(code == 64 ? "usage: notchora-screencapture"
                                             : "no X11 display to capture"),
                 qPrintable(run.err));
        QCOMPARE(QDir(cwd).entryList(QDir::Files), QStringList());
    }
    void fullScreenCapture() {
        QCOMPARE(test::runProgram(tool(), {"-x", "-t", "jpg", path("full.jpg")}).exitCode, 0);
        QImageReader reader(path("full.jpg"));
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage image = reader.read();
        QCOMPARE(image.size(), screenSize);
        for (const QPoint p : {QPoint(5, 5), QPoint(1000, 20), QPoint(512, 384), QPoint(30, 740)}) {
            const QRgb got = image.pixel(p);
            const QRgb want = patternAt(p.x(), p.y());
            QVERIFY2(qAbs(qRed(got) - qRed(want)) < 24 && qAbs(qGreen(got) - qGreen(want)) < 24,
                     qPrintable(QStringLiteral("pixel %1,%2").arg(p.x()).arg(p.y())));
        }
    }
    // Scaled 2x: device pixels, recorded in the file as 192 dpi; an existing file is kept.
    void areaSelection_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QRect>("area"); // empty: nothing written
        QTest::addColumn<int>("scale");
        QTest::addRow("drag down-right")
            << "mousemove 100 120 mousedown 1 mousemove 180 200 mousemove 340 300 mouseup 1"
            << QRect(100, 120, 240, 180) << 1;
        QTest::addRow("drag up-left")
            << "mousemove 700 500 mousedown 1 mousemove 650 460 mousemove 600 450 mouseup 1"
            << QRect(600, 450, 100, 50) << 1;
        QTest::addRow("escape mid-drag")
            << "mousemove 10 10 mousedown 1 mousemove 200 200 key Escape mouseup 1" << QRect() << 1;
        QTest::addRow("click without drag") << "mousemove 300 300 click 1" << QRect() << 1;
        QTest::addRow("scaled desktop")
            << "mousemove 100 100 mousedown 1 mousemove 300 200 mousemove 700 500 mouseup 1"
            << QRect(100, 100, 600, 400) << 2;
    }
    void areaSelection() {
        QFETCH(QString, input);
        QFETCH(QRect, area);
        QFETCH(int, scale);
        const QString out = path("Screenshot (2).png");
        QFile::remove(out);
        QVERIFY(test::writeFile(path("Screenshot.png"), "precious"));
        QCOMPARE(select({"-i", "-s", path("Screenshot.png")}, input, scale == 2 ? "2" : nullptr),
                 0);
        QCOMPARE(test::readFile(path("Screenshot.png")), QByteArray("precious"));
        if (area.isEmpty()) {
            QVERIFY(!QFile::exists(out));
            return;
        }
        QImageReader reader(out);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage image = reader.read();
        QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 96 * scale);
        QCOMPARE(image.convertToFormat(QImage::Format_RGB32), m_pattern.copy(area));
    }
    // Keys run the commands; a key held elsewhere has no hint; switched off, ours are free.
    void keysHeldElsewhereOrGivenBack() {
        const QString log = path("tool.log");
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL",
                QFile::encodeName(
                    test::writeScript(path("tool.sh"), "echo \"$@\" >> '" + log.toUtf8() + "'")));
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", "/nonexistent"); // no desktop screenshot tool to prefer
        auto restore = qScopeGuard([&] { qputenv("PATH", oldPath); });
        Defaults defaults(m_env.configHome() + "/notchora/defaults.json");
        X11GlobalShortcuts keys(x11()->display(), x11()->connection());
        ScreenshotAction action(Clock::system());
        std::optional<ScreenshotShortcuts> shortcuts(std::in_place, keys, defaults, action);
        QCOMPARE(shortcuts->panelHint(), "Shift+Super+5");
        for (const char* key : {"shift+super+5", "shift+super+4"})
            QCOMPARE(QProcess::execute("/usr/bin/xdotool", {"key", key}), 0);
        QTRY_COMPARE(test::readFile(log).count('\n'), 2);
        shortcuts.reset();
        OtherClient other;
        QVERIFY(other.grab(keycode('5')));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("holds .* already"));
        shortcuts.emplace(keys, defaults, action);
        QCOMPARE(shortcuts->panelHint(), QString());
        QCOMPARE(shortcuts->areaHint(), "Shift+Super+4");
        other.release(keycode('5'));
        QVERIFY(!other.grab(keycode('4')));
        defaults.setBool(ScreenshotShortcuts::globalSetting.name(), false);
        QCOMPARE(shortcuts->areaHint(), QString());
        QVERIFY(other.grab(keycode('4')));
        other.release(keycode('4'));
        defaults.setBool(ScreenshotShortcuts::globalSetting.name(), true);
        QCOMPARE(shortcuts->areaHint(), "Shift+Super+4");
    }
};

int main(int argc, char** argv) {
    // The key grabs need the X server the test runs on, not the offscreen platform.
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    ScreenCaptureToolTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screencapturetool.moc"
