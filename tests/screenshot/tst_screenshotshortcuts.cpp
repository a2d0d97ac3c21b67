// Shift+Super+5 / Shift+Super+4 on a real X server: grabbed, run, shown, given back.
#include "TestEnvironment.h"
#include "platform/Defaults.h"
#include "platform/X11GlobalShortcuts.h"
#include "screenshot/ScreenshotAction.h"
#include "screenshot/ScreenshotShortcuts.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

using namespace notchora;

namespace {

// Another client on the same display, for taking keys before us or after us.
class OtherClient {
public:
    OtherClient() : m_connection(xcb_connect(nullptr, nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    }
    ~OtherClient() { xcb_disconnect(m_connection); }
    // Whether Shift+Super+<keycode> could be taken, as our own grab asks.
    bool grab(quint8 keycode) {
        const auto cookie =
            xcb_grab_key_checked(m_connection, 1, m_root, XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4,
                                 keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(m_connection, cookie);
        free(error);
        return !error;
    }
    void release(quint8 keycode) {
        xcb_ungrab_key(m_connection, keycode, m_root, XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4);
        xcb_flush(m_connection);
    }

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
};

} // namespace

class ScreenshotShortcutsTest : public QObject {
    Q_OBJECT

    test::TestEnvironment m_env;

    static Display* display() {
        return qApp->nativeInterface<QNativeInterface::QX11Application>()->display();
    }
    static xcb_connection_t* connection() {
        return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    }
    static quint8 keycode(char digit) { return quint8(XKeysymToKeycode(display(), KeySym(digit))); }

private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP(qPrintable(qEnvironmentVariable("NOTCHORA_NO_X", "no X server")));
    }
    void hints_data() {
        QTest::addColumn<QByteArray>("desktop");
        QTest::addColumn<QString>("panel");
        QTest::newRow("GNOME") << QByteArray("GNOME") << "Shift+Super+5";
        QTest::newRow("KDE") << QByteArray("KDE") << "Meta+Shift+5";
        QTest::newRow("none") << QByteArray() << "Shift+Super+5";
    }
    void hints() {
        QFETCH(QByteArray, desktop);
        QFETCH(QString, panel);
        qputenv("XDG_CURRENT_DESKTOP", desktop);
        QCOMPARE(ScreenshotShortcuts::hint(ScreenshotShortcuts::panelKey), panel);
        qunsetenv("XDG_CURRENT_DESKTOP");
    }
    // The keys pressed anywhere run the commands; the capture tool stands in for the desktop's.
    void keysRunTheCommands() {
        const QString log = m_env.root() + "/tool.log";
        QVERIFY(test::writeFile(m_env.root() + "/tool.sh",
                                "#!/bin/sh\necho \"$@\" >> '" + log.toUtf8() + "'\n"));
        QFile::setPermissions(m_env.root() + "/tool.sh", QFile::ReadOwner | QFile::ExeOwner);
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(m_env.root() + "/tool.sh"));
        qputenv("PATH", "/nonexistent"); // no desktop screenshot tool to prefer
        Defaults defaults(m_env.configHome() + "/notchora/defaults.json");
        X11GlobalShortcuts keys(display(), connection());
        ScreenshotAction action(Clock::system());
        ScreenshotShortcuts shortcuts(keys, defaults, action);
        QCOMPARE(shortcuts.panelHint(), "Shift+Super+5");
        QCOMPARE(shortcuts.areaHint(), "Shift+Super+4");
        for (const char* key : {"shift+super+5", "shift+super+4"})
            QCOMPARE(QProcess::execute("/usr/bin/xdotool", {"key", key}), 0);
        // Both ran our area tool (no desktop tool installed): two lines of arguments.
        QTRY_COMPARE(test::readFile(log).count('\n'), 2);
        qunsetenv("PATH");
    }
    // A key another program holds has no hint; switched off, ours are free for others.
    void keysHeldElsewhereOrGivenBack() {
        OtherClient other;
        QVERIFY(other.grab(keycode('5')));
        Defaults defaults(m_env.configHome() + "/notchora/held.json");
        X11GlobalShortcuts keys(display(), connection());
        ScreenshotAction action(Clock::system());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("holds .* already"));
        ScreenshotShortcuts shortcuts(keys, defaults, action);
        QCOMPARE(shortcuts.panelHint(), QString());
        QCOMPARE(shortcuts.areaHint(), "Shift+Super+4");
        other.release(keycode('5'));

        QVERIFY(!other.grab(keycode('4')));
        defaults.setBool(ScreenshotShortcuts::globalSetting.name(), false);
        QCOMPARE(shortcuts.areaHint(), QString());
        QVERIFY(other.grab(keycode('4')));
        other.release(keycode('4'));
        defaults.setBool(ScreenshotShortcuts::globalSetting.name(), true);
        QCOMPARE(shortcuts.areaHint(), "Shift+Super+4");
    }
};

int main(int argc, char** argv) {
    // The grabs need the X server the test runs on, not the offscreen platform.
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    ScreenshotShortcutsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenshotshortcuts.moc"
