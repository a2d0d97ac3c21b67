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
#include <QGuiApplication>
#include <QJsonValue>
#include <QQmlEngineExtensionPlugin>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

using namespace notchora;

class ScreenshotActionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void destinationFolder_data();
    void destinationFolder();
    void fileNameFollowsTheClock_data();
    void fileNameFollowsTheClock();
    void neverOverwrites();
    void numberedNames_data();
    void numberedNames();
    void writeNewReportsFailure();
    void captureAreaSavesToTheFolder();
    void annotationCapture_data();
    void annotationCapture();
    void screenshotPanelPrefersTheDesktopTool_data();
    void screenshotPanelPrefersTheDesktopTool();

private:
    Defaults& screencapture() { return Defaults::shared(QStringLiteral("screencapture")); }
    QString log() const { return m_env.root() + QStringLiteral("/tool.log"); }
    QString fakeTool(const QString& name, const QByteArray& body = QByteArray());
    QString folder() const { return m_env.root() + QStringLiteral("/shots"); }

    test::TestEnvironment m_env;
};

void ScreenshotActionTest::initTestCase() {
    QDir().mkpath(m_env.root() + QStringLiteral("/tmp"));
    qputenv("TMPDIR", QFile::encodeName(m_env.root() + QStringLiteral("/tmp")));
}

void ScreenshotActionTest::init() {
    screencapture().remove(QStringLiteral("location"));
    Defaults::shared().remove(QStringLiteral("shot.redframe"));
    QFile::remove(m_env.configHome() + QStringLiteral("/user-dirs.dirs"));
    QFile::remove(log());
    QDir(folder()).removeRecursively();
}

QString ScreenshotActionTest::fakeTool(const QString& name, const QByteArray& body) {
    return test::writeScript(m_env.root() + QStringLiteral("/bin/") + name,
                             "echo \"" + name.toUtf8() + " $*\" >> '" + log().toUtf8() + "'\n" +
                                 body);
}

void ScreenshotActionTest::destinationFolder_data() {
    QTest::addColumn<QJsonValue>("location"); // undefined: not set
    QTest::addColumn<QByteArray>("userDirs");
    QTest::addColumn<QString>("expected"); // relative to home unless absolute
    QTest::addRow("tilde path") << QJsonValue(QStringLiteral("~/Pictures/Shots")) << QByteArray()
                                << "Pictures/Shots";
    QTest::addRow("tilde alone") << QJsonValue(QStringLiteral("~")) << QByteArray() << "";
    QTest::addRow("absolute") << QJsonValue(QStringLiteral("/srv/shots/")) << QByteArray()
                              << "/srv/shots";
    QTest::addRow("not set: desktop")
        << QJsonValue(QJsonValue::Undefined) << QByteArray() << "Desktop";
    QTest::addRow("not set: localised desktop")
        << QJsonValue(QJsonValue::Undefined)
        << QByteArray("XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n") << "Schreibtisch";
    QTest::addRow("wrong type") << QJsonValue(42) << QByteArray() << "Desktop";
    QTest::addRow("empty string") << QJsonValue(QString()) << QByteArray() << "Desktop";
}

void ScreenshotActionTest::destinationFolder() {
    QFETCH(QJsonValue, location);
    QFETCH(QByteArray, userDirs);
    QFETCH(QString, expected);
    if (!location.isUndefined())
        screencapture().setValue(QStringLiteral("location"), location);
    if (!userDirs.isEmpty())
        test::writeFile(m_env.configHome() + QStringLiteral("/user-dirs.dirs"), userDirs);
    const QString want =
        expected.startsWith('/') ? expected : QDir::cleanPath(m_env.home() + '/' + expected);
    ManualClock clock;
    const ScreenshotDestination destination(screencapture(), clock);
    QCOMPARE(destination.folder(), want);
    QCOMPARE(QFileInfo(destination.destinationPath()).absolutePath(), want);
}

void ScreenshotActionTest::fileNameFollowsTheClock_data() {
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("name");
    QTest::addRow("morning") << QTime(9, 5, 7) << "en_US"
                             << "Screenshot 2024-03-09 at 09.05.07.png";
    QTest::addRow("afternoon, 12-hour locale") << QTime(14, 5, 7) << "en_US"
                                               << "Screenshot 2024-03-09 at 14.05.07.png";
    QTest::addRow("non-Latin digits") << QTime(23, 59, 59) << "ar_EG"
                                      << "Screenshot 2024-03-09 at 23.59.59.png";
    QTest::addRow("indonesian") << QTime(0, 0, 0) << "id_ID"
                                << "Screenshot 2024-03-09 at 00.00.00.png";
}

void ScreenshotActionTest::fileNameFollowsTheClock() {
    QFETCH(QTime, time);
    QFETCH(QString, locale);
    QFETCH(QString, name);
    QLocale::setDefault(QLocale(locale));
    screencapture().setString(QStringLiteral("location"), folder());
    ManualClock clock(QDateTime(QDate(2024, 3, 9), time, Qt::LocalTime));
    const ScreenshotAction action(clock);
    QCOMPARE(action.destination().destinationPath(), folder() + '/' + name);
    QLocale::setDefault(QLocale::c());
}

void ScreenshotActionTest::neverOverwrites() {
    screencapture().setString(QStringLiteral("location"), folder());
    ManualClock clock(QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::LocalTime));
    const ScreenshotAction action(clock);
    const QString first = folder() + QStringLiteral("/Screenshot 2024-03-09 at 14.05.07.png");
    QCOMPARE(action.destination().destinationPath(), first);
    QVERIFY(test::writeFile(first, "one"));
    // A second screenshot within the same second gets the next free name.
    const QString second = folder() + QStringLiteral("/Screenshot 2024-03-09 at 14.05.07 (2).png");
    QCOMPARE(action.destination().destinationPath(), second);
    QVERIFY(test::writeFile(second, "two"));
    QCOMPARE(action.destination().destinationPath(),
             folder() + QStringLiteral("/Screenshot 2024-03-09 at 14.05.07 (3).png"));

    // Someone takes the name between choosing it and writing: the write moves on.
    const QString written = ScreenshotFile::writeNew(first, "three");
    QCOMPARE(written, folder() + QStringLiteral("/Screenshot 2024-03-09 at 14.05.07 (3).png"));
    QCOMPARE(test::readFile(first), QByteArray("one"));
    QCOMPARE(test::readFile(second), QByteArray("two"));
    QCOMPARE(test::readFile(written), QByteArray("three"));

    // A second later the plain name is free again.
    clock.advance(1);
    QCOMPARE(action.destination().destinationPath(),
             folder() + QStringLiteral("/Screenshot 2024-03-09 at 14.05.08.png"));
}

// The plain names are neverOverwrites'; here the suffix goes before the right dot.
void ScreenshotActionTest::numberedNames_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("expected");
    QTest::addRow("dotted folder, no suffix") << "/a.b/shot" << 3 << "/a.b/shot (3)";
    QTest::addRow("dots in the name")
        << "/a/Screenshot 1.2.3.png" << 2 << "/a/Screenshot 1.2.3 (2).png";
}

void ScreenshotActionTest::numberedNames() {
    QFETCH(QString, path);
    QFETCH(int, n);
    QFETCH(QString, expected);
    QCOMPARE(ScreenshotFile::numbered(path, n), expected);
}

void ScreenshotActionTest::writeNewReportsFailure() {
    // The "folder" is a file: nothing can be written below it.
    QVERIFY(test::writeFile(folder(), "a file, not a folder"));
    QString error;
    QCOMPARE(ScreenshotFile::writeNew(folder() + QStringLiteral("/x.png"), "data", &error),
             QString());
    QVERIFY(!error.isEmpty());
    QFile::remove(folder());
}

void ScreenshotActionTest::captureAreaSavesToTheFolder() {
    qputenv("NOTCHORA_SCREENCAPTURE_TOOL",
            QFile::encodeName(fakeTool(QStringLiteral("notchora-screencapture"))));
    screencapture().setString(QStringLiteral("location"), folder());
    ManualClock clock(QDateTime(QDate(2024, 3, 9), QTime(9, 5, 7), Qt::LocalTime));
    ScreenshotAction action(clock);
    QSignalSpy visibility(&CaptureVisibility::shared(), &CaptureVisibility::didChange);
    action.captureArea();
    QTRY_VERIFY(QFile::exists(log()));
    QCOMPARE(test::readFile(log()).trimmed(), "notchora-screencapture -i -s " +
                                                  QFile::encodeName(folder()) +
                                                  "/Screenshot 2024-03-09 at 09.05.07.png");
    // The folder is there for the tool to write into; our own windows were not hidden.
    QVERIFY(QFileInfo(folder()).isDir());
    QCOMPARE(visibility.size(), 0);
}

void ScreenshotActionTest::annotationCapture_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("shown");
    const QString png = m_env.root() + QStringLiteral("/area.png");
    QImage area(120, 80, QImage::Format_RGB32);
    area.fill(Qt::darkCyan);
    area.save(png);
    QTest::addRow("area selected")
        << "for last; do :; done; cp '" + png.toUtf8() + "' \"$last\"" << true;
    QTest::addRow("escape") << QByteArray("exit 0") << false;
    QTest::addRow("unreadable picture")
        << QByteArray("for last; do :; done; echo broken > \"$last\"") << false;
    QTest::addRow("tool missing") << QByteArray() << false;
}

void ScreenshotActionTest::annotationCapture() {
    QFETCH(QByteArray, body);
    QFETCH(bool, shown);
    const QString tool = body.isEmpty() ? m_env.root() + QStringLiteral("/missing-tool")
                                        : fakeTool(QStringLiteral("notchora-screencapture"), body);
    qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(tool));
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
                                 QFile::encodeName(m_env.runtimeDir()) + "/notchora/shot-"),
                 args.constData());
        QVERIFY(args.endsWith(".png"));
    }
    // No temporary file stays behind, whatever happened.
    QCOMPARE(QDir(m_env.runtimeDir() + QStringLiteral("/notchora")).entryList(QDir::Files),
             QStringList());
}

void ScreenshotActionTest::screenshotPanelPrefersTheDesktopTool_data() {
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QByteArray>("expected");
    const QStringList all{"gnome-screenshot", "spectacle", "xfce4-screenshooter", "flameshot"};
    QTest::addRow("KDE") << "KDE" << all << QByteArray("spectacle");
    QTest::addRow("GNOME") << "ubuntu:GNOME" << all << QByteArray("gnome-screenshot --interactive");
    QTest::addRow("Xfce") << "XFCE" << all << QByteArray("xfce4-screenshooter");
    QTest::addRow("other desktop")
        << "i3" << QStringList{"flameshot", "spectacle"} << QByteArray("spectacle");
    QTest::addRow("KDE without spectacle")
        << "KDE" << QStringList{"flameshot"} << QByteArray("flameshot gui");
    QTest::addRow("none installed")
        << "GNOME" << QStringList() << QByteArray("notchora-screencapture -i -s ");
}

void ScreenshotActionTest::screenshotPanelPrefersTheDesktopTool() {
    QFETCH(QString, desktop);
    QFETCH(QStringList, installed);
    QFETCH(QByteArray, expected);
    QDir(m_env.root() + QStringLiteral("/bin")).removeRecursively();
    for (const QString& name : installed)
        fakeTool(name);
    qputenv("NOTCHORA_SCREENCAPTURE_TOOL",
            QFile::encodeName(fakeTool(QStringLiteral("notchora-screencapture"))));
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_env.root() + QStringLiteral("/bin")));
    qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());
    screencapture().setString(QStringLiteral("location"), folder());
    ManualClock clock;
    ScreenshotAction action(clock);
    action.openScreenshotPanel();
    qputenv("PATH", oldPath);
    QTRY_VERIFY(QFile::exists(log()));
    const QByteArray got = test::readFile(log()).trimmed();
    QVERIFY2(got.startsWith(expected), got.constData());
    QCOMPARE(got.count('\n'), 0); // one tool, started once
}

QTEST_MAIN(ScreenshotActionTest)
#include "tst_screenshotaction.moc"
