#include "ProgramRun.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QStandardPaths>
#include <QTest>

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

} // namespace

class ScreenCaptureToolTest : public QObject {
    Q_OBJECT

    test::TestEnvironment m_env;
    QString m_noX = QStringLiteral("no X server"); // empty once the screen shows the pattern

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
        QImage pattern(screenSize, QImage::Format_RGB32);
        for (int y = 0; y < pattern.height(); ++y)
            for (int x = 0; x < pattern.width(); ++x)
                pattern.setPixel(x, y, patternAt(x, y));
        QVERIFY(pattern.save(path("pattern.png")));
        // Exit status of display is not telling; the captures show whether it worked.
        test::runProgram("display", {"-window", "root", path("pattern.png")});
    }
    void init() {
        const QByteArray name = QTest::currentTestFunction();
        if (!m_noX.isEmpty() && name != "badArgumentLists" && name != "unreachableDisplay")
            QSKIP(qPrintable(m_noX));
    }
    void badArgumentLists_data() {
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
    void badArgumentLists() {
        QFETCH(QStringList, args);
        const QString cwd = path("cwd");
        QDir().mkpath(cwd);
        const test::ProgramRun run =
            test::runProgram(tool(), args, QProcessEnvironment::systemEnvironment(), cwd);
        QVERIFY(run.finished && run.exitCode != 0);
        QVERIFY(run.err.contains("usage: notchora-screencapture"));
        QCOMPARE(QDir(cwd).entryList(QDir::Files), QStringList());
    }
    // Without a reachable X server the tool says so with its documented code, not a toolkit
    // abort.
    void unreachableDisplay_data() {
        QTest::addColumn<QString>("display");
        QTest::addRow("none") << QString();
        QTest::addRow("no server there") << ":987";
        QTest::addRow("not a display name") << "nowhere";
    }
    void unreachableDisplay() {
        QFETCH(QString, display);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        const test::ProgramRun run =
            test::runProgram(tool(), {"-x", "-t", "jpg", path("none.jpg")}, environment);
        QCOMPARE(run.exitCode, 69);
        QVERIFY2(run.err.contains("no X11 display to capture"), qPrintable(run.err));
        QVERIFY(!QFile::exists(path("none.jpg")));
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
    // On a desktop scaled 2x the tool writes device pixels (xdotool moves in them) and says so
    // in the file, which the editor reads as 2 pixels a point.
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
        QTest::addRow("escape") << "mousemove 10 10 key Escape" << QRect() << 1;
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
        const QString out = path("area.png");
        QFile::remove(out);
        QCOMPARE(select({"-i", "-s", "-x", out}, input, scale == 2 ? "2" : nullptr), 0);
        if (area.isEmpty()) {
            QVERIFY(!QFile::exists(out));
            return;
        }
        QImageReader reader(out);
        QCOMPARE(reader.format(), QByteArray("png"));
        const QImage image = reader.read();
        QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 96 * scale);
        const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
        QCOMPARE(pixels.size(), area.size());
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x)
                if (pixels.pixel(x, y) != patternAt(area.x() + x, area.y() + y))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 differs").arg(x).arg(y)));
    }
    // Without -x: the shutter plays when the desktop has one, and its absence is no error.
    void areaNeverReplacesAFile() {
        QVERIFY(test::writeFile(path("Screenshot.png"), "precious"));
        QCOMPARE(select({"-i", "-s", path("Screenshot.png")},
                        "mousemove 10 10 mousedown 1 mousemove 40 40 mousemove 60 50 mouseup 1"),
                 0);
        QCOMPARE(test::readFile(path("Screenshot.png")), QByteArray("precious"));
        QCOMPARE(QImage(path("Screenshot (2).png")).size(), QSize(50, 40));
    }
};

QTEST_MAIN(ScreenCaptureToolTest)
#include "tst_screencapturetool.moc"
