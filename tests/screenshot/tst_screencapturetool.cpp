#include "ManualClock.h"
#include "ProgramRun.h"
#include "TestEnvironment.h"
#include "core/CaptureVisibility.h"
#include "platform/Defaults.h"
#include "screenshot/AnnotationEditor.h"
#include "screenshot/AnnotationWindowController.h"
#include "screenshot/CaptureTask.h"
#include "screenshot/ScreenCapture.h"
#include "screenshot/ScreenshotAction.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

using namespace notchora;

namespace {

constexpr QSize screenSize(1024, 768);

// Every pixel tells where it is, so a crop can be checked pixel by pixel.
QRgb patternAt(int x, int y) {
    return qRgb(x * 255 / 1023, y * 255 / 767, (x * 7 + y * 13) & 0xff);
}

// The button labelled `text`: an item with that text and a clicked() signal.
QQuickItem* itemWithText(QQuickItem* item, const QString& text) {
    if (item->property("text").toString() == text &&
        item->metaObject()->indexOfSignal("clicked()") >= 0)
        return item;
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* found = itemWithText(child, text))
            return found;
    return nullptr;
}

} // namespace

class ScreenCaptureToolTest : public QObject {
    Q_OBJECT
private slots:
    void badArgumentLists_data();
    void badArgumentLists();
    void unreachableDisplayIsReported_data();
    void unreachableDisplayIsReported();
    void initTestCase();
    void fullScreenCapture();
    void areaSelection_data();
    void areaSelection();
    void areaNeverReplacesAFile();
    void assistantCaptureThroughTheTool();
    void redframeAreaIntoTheEditorAndSaved();
    void scaledDesktopWritesDevicePixels();

private:
    QString tool() const { return test::TestEnvironment::binary("notchora-screencapture"); }
    // Starts an area selection, performs `input` with xdotool, returns the tool's exit code.
    int select(const QStringList& args, const QStringList& input,
               const QProcessEnvironment& extra = {});

    test::TestEnvironment m_env;
    bool m_ready = false;
    QString m_why;
};

void ScreenCaptureToolTest::badArgumentLists_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addRow("none") << QStringList();
    QTest::addRow("only -x") << QStringList{"-x"};
    QTest::addRow("png type") << QStringList{"-x", "-t", "png", "out.png"};
    QTest::addRow("no path") << QStringList{"-i", "-s"};
    QTest::addRow("silent, no path") << QStringList{"-i", "-s", "-x"};
    QTest::addRow("swapped") << QStringList{"-s", "-i", "out.png"};
    QTest::addRow("path not last") << QStringList{"-i", "-s", "out.png", "-x"};
    QTest::addRow("extra") << QStringList{"-x", "-t", "jpg", "a.jpg", "b.jpg"};
}

void ScreenCaptureToolTest::badArgumentLists() {
    QFETCH(QStringList, args);
    const QString cwd = m_env.root() + QStringLiteral("/cwd");
    QDir().mkpath(cwd);
    const test::ProgramRun run =
        test::runProgram(tool(), args, QProcessEnvironment::systemEnvironment(), cwd);
    QVERIFY(run.finished && run.exitCode != 0);
    QVERIFY(run.err.contains("usage: notchora-screencapture"));
    QCOMPARE(QDir(cwd).entryList(QDir::Files), QStringList());
}

void ScreenCaptureToolTest::unreachableDisplayIsReported_data() {
    QTest::addColumn<QString>("display");
    QTest::addRow("none") << QString();
    QTest::addRow("no server there") << ":987";
    QTest::addRow("not a display name") << "nowhere";
}

// Without a reachable X server the tool says so with its documented code, not a toolkit abort.
void ScreenCaptureToolTest::unreachableDisplayIsReported() {
    QFETCH(QString, display);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    const QString out = m_env.root() + QStringLiteral("/none.jpg");
    const test::ProgramRun run = test::runProgram(tool(), {"-x", "-t", "jpg", out}, environment);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 69);
    QVERIFY2(run.err.contains("no X11 display to capture"), qPrintable(run.err));
    QVERIFY(!QFile::exists(out));
}

void ScreenCaptureToolTest::initTestCase() {
    QVERIFY2(QFileInfo(tool()).isExecutable(), qPrintable(tool()));
    // x-session.sh gives this test its own X server.
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        m_why = qEnvironmentVariable("NOTCHORA_NO_X", QStringLiteral("no X server"));
        return;
    }
    if (QStandardPaths::findExecutable("xdotool").isEmpty()) {
        m_why = QStringLiteral("xdotool is not installed");
        return;
    }
    if (QStandardPaths::findExecutable("display").isEmpty()) {
        m_why = QStringLiteral("ImageMagick's display is not installed");
        return;
    }
    QImage pattern(screenSize, QImage::Format_RGB32);
    for (int y = 0; y < pattern.height(); ++y)
        for (int x = 0; x < pattern.width(); ++x)
            pattern.setPixel(x, y, patternAt(x, y));
    const QString file = m_env.root() + QStringLiteral("/pattern.png");
    QVERIFY(pattern.save(file));
    // Exit status of display is not telling; the capture below shows whether it worked.
    test::runProgram("display", {"-window", "root", file});
    m_ready = true;
}

void ScreenCaptureToolTest::fullScreenCapture() {
    if (!m_ready)
        QSKIP(qPrintable(m_why));
    const QString out = m_env.root() + QStringLiteral("/full.jpg");
    QCOMPARE(test::runProgram(tool(), {"-x", "-t", "jpg", out}).exitCode, 0);
    QImageReader reader(out);
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

int ScreenCaptureToolTest::select(const QStringList& args, const QStringList& input,
                                  const QProcessEnvironment& extra) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(tool(), args);
    if (!process.waitForStarted(5000))
        return -1;
    // The overlay names itself once it holds the pointer and the keyboard.
    const int found = test::runProgram("xdotool", {"search", "--sync", "--onlyvisible", "--name",
                                                   "notchora-screencapture area"})
                          .exitCode;
    if (found == 0)
        test::runProgram("xdotool", input);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    return process.exitCode();
}

void ScreenCaptureToolTest::areaSelection_data() {
    QTest::addColumn<QStringList>("input");
    QTest::addColumn<QRect>("area"); // empty: nothing written
    QTest::addRow("drag down-right")
        << QStringList{"mousemove", "100",       "120", "mousedown", "1",       "mousemove", "180",
                       "200",       "mousemove", "340", "300",       "mouseup", "1"}
        << QRect(100, 120, 240, 180);
    QTest::addRow("drag up-left") << QStringList{"mousemove", "700",     "500", "mousedown", "1",
                                                 "mousemove", "650",     "460", "mousemove", "600",
                                                 "450",       "mouseup", "1"}
                                  << QRect(600, 450, 100, 50);
    QTest::addRow("escape") << QStringList{"mousemove", "10", "10", "key", "Escape"} << QRect();
    QTest::addRow("escape mid-drag")
        << QStringList{"mousemove", "10",  "10",  "mousedown", "1",       "mousemove",
                       "200",       "200", "key", "Escape",    "mouseup", "1"}
        << QRect();
    QTest::addRow("click without drag")
        << QStringList{"mousemove", "300", "300", "click", "1"} << QRect();
}

void ScreenCaptureToolTest::areaSelection() {
    if (!m_ready)
        QSKIP(qPrintable(m_why));
    QFETCH(QStringList, input);
    QFETCH(QRect, area);
    const QString out = m_env.root() + QStringLiteral("/area.png");
    QFile::remove(out);
    QCOMPARE(select({"-i", "-s", "-x", out}, input), 0);
    if (area.isEmpty()) {
        QVERIFY(!QFile::exists(out));
        return;
    }
    QImageReader reader(out);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(image.size(), area.size());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != patternAt(area.x() + x, area.y() + y))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
}

void ScreenCaptureToolTest::areaNeverReplacesAFile() {
    if (!m_ready)
        QSKIP(qPrintable(m_why));
    const QString out = m_env.root() + QStringLiteral("/Screenshot.png");
    QVERIFY(test::writeFile(out, "precious"));
    // Without -x: the shutter plays when the desktop has one, and its absence is no error.
    QCOMPARE(select({"-i", "-s", out}, {"mousemove", "10", "10", "mousedown", "1", "mousemove",
                                        "40", "40", "mousemove", "60", "50", "mouseup", "1"}),
             0);
    QCOMPARE(test::readFile(out), QByteArray("precious"));
    QCOMPARE(QImage(m_env.root() + QStringLiteral("/Screenshot (2).png")).size(), QSize(50, 40));
}

void ScreenCaptureToolTest::assistantCaptureThroughTheTool() {
    if (!m_ready)
        QSKIP(qPrintable(m_why));
    qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(tool()));
    QVERIFY(ScreenCapture::preflightAccess());
    ManualClock clock;
    QObject owner;
    CaptureTask* task = ScreenCapture::capture(ScreenCapture::assistantByteLimit, &owner, clock);
    QSignalSpy finished(task, &CaptureTask::finished);
    clock.advance(0.15);
    QVERIFY(finished.wait(20000));
    const auto result = finished.first().first().value<ScreenCapture::Result>();
    QVERIFY2(result.ok(), qPrintable(result.errorMessage()));
    // Smaller than rung 1 on both sides: kept at the screen's own size.
    QCOMPARE(QSize(result.image->width, result.image->height), screenSize);
    QVERIFY(result.image->data.size() <= ScreenCapture::assistantByteLimit);
    QVERIFY(!CaptureVisibility::shared().isAICaptureInProgress());
    QVERIFY(!QFile::exists(task->tempPath()));
}

// The whole road: area command with the red-box option on, a drag on the real screen, the
// editor on the selection, "Simpan" into the screenshot folder.
void ScreenCaptureToolTest::redframeAreaIntoTheEditorAndSaved() {
    if (!m_ready)
        QSKIP(qPrintable(m_why));
    const QString temp = m_env.root() + QStringLiteral("/tmp");
    QDir().mkpath(temp);
    qputenv("TMPDIR", QFile::encodeName(temp));
    qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(tool()));
    Defaults::shared().setBool(QStringLiteral("shot.redframe"), true);
    const QString shots = m_env.root() + QStringLiteral("/shots");
    Defaults::shared(QStringLiteral("screencapture")).setString(QStringLiteral("location"), shots);

    ManualClock clock(QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::LocalTime));
    ScreenshotAction action(clock);
    AnnotationWindowController annotator(clock);
    action.setAnnotator(&annotator);
    QSignalSpy ended(&action, &ScreenshotAction::annotationCaptureEnded);
    action.captureArea();
    clock.advance(0.15);
    QCOMPARE(test::runProgram("xdotool", {"search", "--sync", "--onlyvisible", "--name",
                                          "notchora-screencapture area"})
                 .exitCode,
             0);
    test::runProgram("xdotool", {"mousemove", "200", "100", "mousedown", "1", "mousemove", "300",
                                 "200", "mousemove", "500", "300", "mouseup", "1"});
    QVERIFY(ended.wait(10000));
    QCOMPARE(ended.first().first().toBool(), true);
    QVERIFY(!CaptureVisibility::shared().isAICaptureInProgress());
    QCOMPARE(QDir(temp).entryList(QDir::Files), QStringList());
    const QImage picked = annotator.editor()->image();
    QCOMPARE(picked.size(), QSize(300, 200));
    QCOMPARE(picked.pixel(0, 0), patternAt(200, 100));

    QQuickWindow* window = annotator.window();
    QTRY_VERIFY(window->isExposed());
    QQuickItem* save = itemWithText(window->contentItem(), QStringLiteral("Simpan"));
    QVERIFY(save);
    QTest::mouseClick(window, Qt::LeftButton, {},
                      save->mapToScene(QPointF(save->width() / 2, save->height() / 2)).toPoint());
    QImage saved(shots + QStringLiteral("/Screenshot 2024-03-09 at 14.05.07.png"));
    QCOMPARE(saved.size(), QSize(300, 200));
    QCOMPARE(saved.pixel(150, 100), patternAt(350, 200));
}

// On a desktop scaled 2x the tool writes device pixels and says so in the file.
void ScreenCaptureToolTest::scaledDesktopWritesDevicePixels() {
    if (!m_ready)
        QSKIP(qPrintable(m_why));
    const QString out = m_env.root() + QStringLiteral("/scaled.png");
    QProcessEnvironment scaled;
    scaled.insert(QStringLiteral("QT_SCREEN_SCALE_FACTORS"), QStringLiteral("2"));
    // xdotool moves in device pixels: 600 x 400 of them, 300 x 200 points.
    QCOMPARE(select({"-i", "-s", "-x", out},
                    {"mousemove", "100", "100", "mousedown", "1", "mousemove", "300", "200",
                     "mousemove", "700", "500", "mouseup", "1"},
                    scaled),
             0);
    QImage written(out);
    QCOMPARE(written.size(), QSize(600, 400));
    QCOMPARE(written.convertToFormat(QImage::Format_RGB32).pixel(0, 0), patternAt(100, 100));
    // The editor reads that as 2 pixels a point (tst_annotator).
    QCOMPARE(qRound(written.dotsPerMeterX() * 0.0254), 192);
}

QTEST_MAIN(ScreenCaptureToolTest)
#include "tst_screencapturetool.moc"
