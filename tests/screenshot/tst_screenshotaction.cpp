#include "ManualClock.h"
#include "TestEnvironment.h"
#include "TestImages.h"
#include "core/CaptureVisibility.h"
#include "platform/Defaults.h"
#include "screenshot/AnnotationWindowController.h"
#include "screenshot/ScreenshotAction.h"
#include "screenshot/ScreenshotDestination.h"
#include "screenshot/ScreenshotFile.h"

#include <QDir>
#include <QJsonValue>
#include <QQmlEngineExtensionPlugin>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

using namespace notchora;

class ScreenshotActionTest : public QObject {
    Q_OBJECT

    test::TestEnvironment m_env;

    Defaults& screencapture() { return Defaults::shared(QStringLiteral("screencapture")); }
    QString log() const { return m_env.root() + QStringLiteral("/tool.log"); }
    QString folder() const { return m_env.root() + QStringLiteral("/shots"); }
    // A stand-in program in <root>/bin that logs its name and arguments, then runs `body`.
    QString fakeTool(const QString& name, const QByteArray& body = QByteArray()) {
        return test::writeScript(m_env.root() + QStringLiteral("/bin/") + name,
                                 "echo \"" + name.toUtf8() + " $*\" >> '" + log().toUtf8() + "'\n" +
                                     body);
    }
    void useTool(const QString& path) {
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(path));
    }
    static QDateTime at(QTime time) { return QDateTime(QDate(2024, 3, 9), time, Qt::LocalTime); }

private slots:
    void initTestCase() {
        QDir().mkpath(m_env.root() + QStringLiteral("/tmp"));
        qputenv("TMPDIR", QFile::encodeName(m_env.root() + QStringLiteral("/tmp")));
    }
    void init() {
        screencapture().setString(QStringLiteral("location"), folder());
        Defaults::shared().remove(QStringLiteral("shot.redframe"));
        QFile::remove(m_env.configHome() + QStringLiteral("/user-dirs.dirs"));
        QFile::remove(log());
        QDir(folder()).removeRecursively();
    }
    // The folder from the setting or the desktop folder; the name from the clock, with Latin
    // digits and a 24-hour clock in any locale.
    void destinationPath_data() {
        QTest::addColumn<QJsonValue>("location"); // undefined: not set
        QTest::addColumn<QByteArray>("userDirs");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected"); // relative to home unless absolute
        const QJsonValue unset(QJsonValue::Undefined);
        const auto row = [](const char* name, QJsonValue location, QString expected,
                            QByteArray userDirs = {}, QString locale = "en_US") {
            QTest::newRow(name) << location << userDirs << locale << expected;
        };
        const QString name = "/Screenshot 2024-03-09 at 14.05.07.png";
        row("tilde path", "~/Pictures/Shots", "Pictures/Shots" + name);
        row("tilde alone", "~", "." + name);
        row("absolute", "/srv/shots/", "/srv/shots" + name);
        row("not set: desktop", unset, "Desktop" + name);
        row("not set: localised desktop", unset, "Schreibtisch" + name,
            "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
        row("wrong type", 42, "Desktop" + name);
        row("empty string", "", "Desktop" + name);
        row("non-Latin digits", "/s", "/s" + name, {}, "ar_EG");
        row("indonesian, midnight", "/s", "/s/Screenshot 2024-03-09 at 00.00.00.png", {}, "id_ID");
    }
    void destinationPath() {
        QFETCH(QJsonValue, location);
        QFETCH(QByteArray, userDirs);
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        screencapture().remove(QStringLiteral("location"));
        if (!location.isUndefined())
            screencapture().setValue(QStringLiteral("location"), location);
        if (!userDirs.isEmpty())
            test::writeFile(m_env.configHome() + QStringLiteral("/user-dirs.dirs"), userDirs);
        QLocale::setDefault(QLocale(locale));
        auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        // The clock shows the time the expected name states.
        ManualClock clock(at(QTime::fromString(expected.section(" at ", 1).left(8), "HH.mm.ss")));
        const ScreenshotDestination destination(screencapture(), clock);
        QCOMPARE(destination.destinationPath(),
                 expected.startsWith('/') ? expected
                                          : QDir::cleanPath(m_env.home() + '/' + expected));
        QCOMPARE(destination.folder(), QFileInfo(destination.destinationPath()).absolutePath());
    }
    void neverOverwrites() {
        ManualClock clock(at(QTime(14, 5, 7)));
        const ScreenshotAction action(clock);
        const auto name = [this](const char* suffix) {
            return folder() + "/Screenshot 2024-03-09 at 14.05.0" + suffix + ".png";
        };
        QCOMPARE(action.destination().destinationPath(), name("7"));
        QVERIFY(test::writeFile(name("7"), "one"));
        // A second screenshot within the same second gets the next free name.
        QCOMPARE(action.destination().destinationPath(), name("7 (2)"));
        QVERIFY(test::writeFile(name("7 (2)"), "two"));
        // Someone takes the name between choosing it and writing: the write moves on.
        QCOMPARE(ScreenshotFile::writeNew(name("7"), "three"), name("7 (3)"));
        QCOMPARE(test::readFile(name("7")) + test::readFile(name("7 (2)")) +
                     test::readFile(name("7 (3)")),
                 QByteArray("onetwothree"));
        // A second later the plain name is free again.
        clock.advance(1);
        QCOMPARE(action.destination().destinationPath(), name("8"));
        // The number goes before the right dot.
        QCOMPARE(ScreenshotFile::numbered("/a.b/shot", 3), QStringLiteral("/a.b/shot (3)"));
        QCOMPARE(ScreenshotFile::numbered("/a/Shot 1.2.png", 2),
                 QStringLiteral("/a/Shot 1.2 (2).png"));
    }
    // With the red-box option on, the area goes through a temporary file into the editor.
    void annotationCapture_data() {
        QTest::addColumn<QByteArray>("body"); // empty: no tool there
        QTest::addColumn<bool>("shown");
        const QString png = m_env.root() + QStringLiteral("/area.png");
        QImage area(120, 80, QImage::Format_RGB32);
        area.fill(Qt::darkCyan);
        area.save(png);
        QTest::addRow("area selected") << "cp '" + png.toUtf8() + "' \"$last\"" << true;
        QTest::addRow("escape") << QByteArray("exit 0") << false;
        QTest::addRow("unreadable picture") << QByteArray("echo broken > \"$last\"") << false;
        QTest::addRow("tool missing") << QByteArray() << false;
    }
    void annotationCapture() {
        QFETCH(QByteArray, body);
        QFETCH(bool, shown);
        useTool(body.isEmpty() ? m_env.root() + QStringLiteral("/missing-tool")
                               : fakeTool(QStringLiteral("notchora-screencapture"),
                                          "for last; do :; done; " + body));
        Defaults::shared().setBool(QStringLiteral("shot.redframe"), true);
        ManualClock clock;
        ScreenshotAction action(clock);
        AnnotationWindowController annotator(clock);
        action.setAnnotator(&annotator);
        QSignalSpy ended(&action, &ScreenshotAction::annotationCaptureEnded);
        action.captureArea();
        QVERIFY(CaptureVisibility::shared().isAICaptureInProgress());
        clock.advance(0.15);
        QVERIFY(ended.wait(10000));
        QCOMPARE(ended.first().first().toBool(), shown);
        QVERIFY(!CaptureVisibility::shared().isAICaptureInProgress());
        QCOMPARE(annotator.window() != nullptr, shown);
        if (shown)
            QCOMPARE(annotator.editor()->image().size(), QSize(120, 80));
        if (!body.isEmpty()) {
            const QByteArray args = test::readFile(log()).trimmed();
            QVERIFY2(args.startsWith("notchora-screencapture -i -s -x " +
                                     QFile::encodeName(m_env.runtimeDir()) + "/notchora/shot-") &&
                         args.endsWith(".png"),
                     args.constData());
        }
        // No temporary file stays behind, whatever happened.
        QCOMPARE(QDir(m_env.runtimeDir() + QStringLiteral("/notchora")).entryList(QDir::Files),
                 QStringList());
    }
    // The panel command prefers the desktop's own tool; the area command, and the panel
    // without one, run ours on a name in the folder, without hiding our windows.
    void commandsRunTheirTool_data() {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<bool>("area");
        QTest::addColumn<QByteArray>("expected");
        const QStringList all{"gnome-screenshot", "spectacle", "xfce4-screenshooter", "flameshot"};
        const QByteArray ours = "notchora-screencapture -i -s " + QFile::encodeName(folder()) +
                                "/Screenshot 2024-03-09 at 14.05.07.png";
        QTest::addRow("KDE") << "KDE" << all << false << QByteArray("spectacle");
        QTest::addRow("GNOME") << "ubuntu:GNOME" << all << false
                               << QByteArray("gnome-screenshot --interactive");
        QTest::addRow("Xfce") << "XFCE" << all << false << QByteArray("xfce4-screenshooter");
        QTest::addRow("other desktop")
            << "i3" << QStringList{"flameshot", "spectacle"} << false << QByteArray("spectacle");
        QTest::addRow("KDE without spectacle")
            << "KDE" << QStringList{"flameshot"} << false << QByteArray("flameshot gui");
        QTest::addRow("none installed") << "GNOME" << QStringList() << false << ours;
        QTest::addRow("area") << "KDE" << all << true << ours;
    }
    void commandsRunTheirTool() {
        QFETCH(QString, desktop);
        QFETCH(QStringList, installed);
        QFETCH(bool, area);
        QFETCH(QByteArray, expected);
        QDir(m_env.root() + QStringLiteral("/bin")).removeRecursively();
        for (const QString& name : installed)
            fakeTool(name);
        useTool(fakeTool(QStringLiteral("notchora-screencapture")));
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_env.root() + QStringLiteral("/bin")));
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
        ManualClock clock(at(QTime(14, 5, 7)));
        ScreenshotAction action(clock);
        QSignalSpy visibility(&CaptureVisibility::shared(), &CaptureVisibility::didChange);
        area ? action.captureArea() : action.openScreenshotPanel();
        qputenv("PATH", oldPath);
        QTRY_VERIFY(QFile::exists(log()));
        const QByteArray got = test::readFile(log()).trimmed();
        QVERIFY2(got.startsWith(expected), got.constData());
        QCOMPARE(got.count('\n'), 0); // one tool, started once
        QCOMPARE(visibility.size(), 0);
        if (area) // there for the tool to write into
            QVERIFY(QFileInfo(folder()).isDir());
    }
};

QTEST_MAIN(ScreenshotActionTest)
#include "tst_screenshotaction.moc"
