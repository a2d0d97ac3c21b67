#include "ManualClock.h"
#include "TestEnvironment.h"
#include "TestImages.h"
#include "core/CaptureVisibility.h"
#include "platform/Defaults.h"
#include "screenshot/CaptureTask.h"
#include "screenshot/ScreenCapture.h"
#include "screenshot/ScreenshotAction.h"
#include "screenshot/ScreenshotDestination.h"
#include "screenshot/ScreenshotFile.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonValue>
#include <QPainter>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

using namespace notchora;
using CaptureError = ScreenCapture::CaptureError;
using Result = ScreenCapture::Result;

namespace {

// Adds an EXIF orientation to a JPEG: an APP1 with a big-endian TIFF and one IFD entry.
QByteArray withExifOrientation(const QByteArray& jpeg, quint16 orientation) {
    const QByteArray exif = QByteArray::fromHex("ffe10022457869660000"
                                                "4d4d002a00000008"
                                                "0001011200030000000100") +
                            char(orientation) + QByteArray::fromHex("000000000000");
    return jpeg.left(2) + exif + jpeg.mid(2);
}

} // namespace

class ScreenCaptureTest : public QObject {
    Q_OBJECT

    test::TestEnvironment m_env;
    QByteArray m_screenshot; // 2880 × 1800 JPEG, like a full-screen capture

    // Captures go to a private folder under the runtime dir, never the shared /tmp.
    QString tempDir() const { return m_env.runtimeDir() + QStringLiteral("/notchora"); }
    QStringList tempFiles() const { return QDir(tempDir()).entryList(QDir::Files); }
    static bool flagRaised() { return CaptureVisibility::shared().isAICaptureInProgress(); }
    void useTool(const QString& path) {
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(path));
    }
    Defaults& screencapture() { return Defaults::shared(QStringLiteral("screencapture")); }
    QString log() const { return m_env.root() + QStringLiteral("/tool.log"); }
    QString folder() const { return m_env.root() + QStringLiteral("/shots"); }
    // A stand-in program in <root>/bin that logs its name and arguments.
    QString fakeTool(const QString& name) {
        return test::writeScript(m_env.root() + QStringLiteral("/bin/") + name,
                                 "echo \"" + name.toUtf8() + " $*\" >> '" + log().toUtf8() + "'");
    }
    static QDateTime at(QTime time) { return QDateTime(QDate(2024, 3, 9), time, Qt::LocalTime); }

private slots:
    void initTestCase() {
        QDir().mkpath(tempDir());
        qputenv("TMPDIR", QFile::encodeName(tempDir()));
        m_screenshot = test::encoded(test::screenshotLike(2880, 1800), "jpeg", 92);
        QVERIFY(m_screenshot.size() > 200'000);
    }
    void init() {
        for (const QString& f : tempFiles())
            QFile::remove(tempDir() + QLatin1Char('/') + f);
        qputenv("DISPLAY", "capturehost:0"); // another host: only the tool could tell
        screencapture().setString(QStringLiteral("location"), folder());
        QFile::remove(m_env.configHome() + QStringLiteral("/user-dirs.dirs"));
        QFile::remove(log());
        QDir(folder()).removeRecursively();
    }
    // Each rung wins when its result is exactly the limit; one byte less moves down a rung.
    void ladderBoundaries_data() {
        QTest::addColumn<int>("rung");
        for (int i = 0; i < int(ScreenCapture::ladder.size()); ++i)
            QTest::addRow("rung %d", i + 1) << i;
    }
    void ladderBoundaries() {
        QFETCH(int, rung);
        const auto [maxPixel, quality] = ScreenCapture::ladder[rung];
        const Result own = ScreenCapture::downscale(m_screenshot, maxPixel, quality);
        QVERIFY(own.ok());
        QCOMPARE(std::max(own.image->width, own.image->height), maxPixel);
        QCOMPARE(own.image->width * 1800, own.image->height * 2880);
        const qint64 size = own.image->data.size();
        const Result atLimit = ScreenCapture::fit(m_screenshot, size);
        QVERIFY(atLimit.ok());
        QCOMPARE(atLimit.image->data, own.image->data);
        const Result below = ScreenCapture::fit(m_screenshot, size - 1);
        if (rung + 1 == int(ScreenCapture::ladder.size())) {
            QCOMPARE(below.error, std::optional(CaptureError::tooLarge));
            return;
        }
        const auto next = ScreenCapture::ladder[rung + 1];
        const Result expected = ScreenCapture::downscale(m_screenshot, next.maxPixel, next.quality);
        QVERIFY2(expected.image->data.size() < size, "the next rung must be smaller");
        QVERIFY(below.ok());
        QCOMPARE(below.image->data, expected.image->data);
    }
    // Re-encoded upright, at its own size when it fits, transparency on white.
    void picturesComeOutUprightOnWhite_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("bluePoint");
        QTest::addColumn<QPoint>("otherPoint");
        QTest::addColumn<QColor>("other");
        // Red left, blue right; orientation 6 turns it clockwise, putting red on top.
        QImage stored(40, 20, QImage::Format_RGB32);
        stored.fill(Qt::blue);
        QPainter(&stored).fillRect(0, 0, 20, 20, Qt::red);
        QTest::addRow("turned by its orientation")
            << withExifOrientation(test::encoded(stored, "jpeg", 95), 6) << QSize(20, 40)
            << QPoint(10, 35) << QPoint(10, 5) << QColor(Qt::red);
        QImage clear(300, 200, QImage::Format_ARGB32);
        clear.fill(Qt::transparent);
        QPainter(&clear).fillRect(0, 0, 150, 200, Qt::blue);
        QTest::addRow("small and partly clear")
            << test::encoded(clear, "png") << QSize(300, 200) << QPoint(50, 100) << QPoint(250, 100)
            << QColor(Qt::white);
    }
    void picturesComeOutUprightOnWhite() {
        QFETCH(QByteArray, input);
        QFETCH(QSize, size);
        QFETCH(QPoint, bluePoint);
        QFETCH(QPoint, otherPoint);
        QFETCH(QColor, other);
        const Result result = ScreenCapture::fit(input, 1'200'000);
        QVERIFY(result.ok());
        const QImage out = QImage::fromData(result.image->data, "JPEG");
        QCOMPARE(QList<QSize>({out.size(), QSize(result.image->width, result.image->height)}),
                 QList<QSize>(2, size));
        const auto near = [&](QPoint at, QColor colour) {
            const QColor got = out.pixelColor(at);
            return qAbs(got.red() - colour.red()) < 60 && qAbs(got.green() - colour.green()) < 60 &&
                   qAbs(got.blue() - colour.blue()) < 60;
        };
        QVERIFY(near(bluePoint, Qt::blue));
        QVERIFY(near(otherPoint, other));
    }
    void encodeRunsOffTheGuiThread() {
        QObject receiver;
        std::optional<Result> got;
        ScreenCapture::encode(m_screenshot, 1'200'000, &receiver, [&](const Result& r) {
            QCOMPARE(QThread::currentThread(), qApp->thread());
            got = r;
        });
        QVERIFY(!got); // not delivered synchronously
        QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 20000);
        // A receiver gone before the result arrives gets nothing.
        bool called = false;
        ScreenCapture::encode(m_screenshot, 1'200'000, std::make_unique<QObject>().get(),
                              [&](const Result&) { called = true; });
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(!called);
    }
    // Stand-in tools; without a reachable display the capture is refused, the tool unused.
    void captureOutcomes_data() {
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("script"); // empty: no tool there
        QTest::addColumn<int>("error");         // -1: success, -2: launch error
        const QString picture = m_env.root() + QStringLiteral("/picture.jpg");
        test::writeFile(picture, m_screenshot);
        const QByteArray copy = "cp '" + picture.toUtf8() + "' \"$last\"";
        const QByteArray host = "capturehost:0";
        const int failed = int(CaptureError::captureFailed);
        QTest::addRow("picture") << host << copy << -1;
        QTest::addRow("picture too large") << host << copy << int(CaptureError::tooLarge);
        QTest::addRow("empty file") << host << QByteArray(": > \"$last\"") << failed;
        QTest::addRow("truncated picture")
            << host << "head -c 200 '" + picture.toUtf8() + "' > \"$last\"" << failed;
        QTest::addRow("not a picture, failing exit")
            << host << QByteArray("echo garbage > \"$last\"; exit 3") << failed;
        QTest::addRow("tool missing") << host << QByteArray() << -2;
        const int denied = int(CaptureError::permissionDenied);
        QTest::addRow("no display") << QByteArray() << copy << denied;
        QTest::addRow("no X server there") << QByteArray(":987") << copy << denied;
    }
    void captureOutcomes() {
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, script);
        QFETCH(int, error);
        qputenv("DISPLAY", display);
        const QString args = m_env.root() + QStringLiteral("/args");
        QFile::remove(args);
        useTool(script.isEmpty() ? m_env.root() + QStringLiteral("/no-such-tool")
                                 : test::writeScript(m_env.root() + QStringLiteral("/fake-tool"),
                                                     "echo \"$@\" > '" + args.toUtf8() +
                                                         "'\nfor last; do :; done\n" + script));
        ManualClock clock;
        QSignalSpy visibility(&CaptureVisibility::shared(), &CaptureVisibility::didChange);
        QObject owner;
        const qint64 maxBytes = error == int(CaptureError::tooLarge) ? 500 : 1'200'000;
        QSignalSpy finished(ScreenCapture::capture(maxBytes, &owner, clock),
                            &CaptureTask::finished);
        clock.advance(0.149);
        QVERIFY(finished.isEmpty() && flagRaised());
        clock.advance(0.001);
        QVERIFY(!finished.isEmpty() || finished.wait(20000));
        const auto result = finished.first().first().value<Result>();
        const int outcome = result.ok()                    ? -1
                            : result.error                 ? int(*result.error)
                            : result.launchError.isEmpty() ? -3
                                                           : -2;
        QCOMPARE(outcome, error);
        if (result.ok())
            QCOMPARE(QSize(result.image->width, result.image->height), QSize(1920, 1200));
        else if (result.error)
            QVERIFY(result.errorMessage().startsWith(ScreenCapture::description(*result.error)));
        if (error == int(CaptureError::permissionDenied)) {
            QVERIFY(!QFile::exists(args));
        } else if (!script.isEmpty()) {
            const QByteArray used = test::readFile(args).trimmed();
            const QByteArray start = "-x -t jpg " + QFile::encodeName(tempDir()) + "/capture-";
            QVERIFY2(used.startsWith(start) && used.endsWith(".jpg"), used.constData());
            QCOMPARE(QFile::permissions(tempDir()) & 0x0077, QFileDevice::Permissions());
        }
        QCOMPARE(visibility.size(), 2);
        QVERIFY(!flagRaised());
        QCOMPARE(tempFiles(), QStringList());
    }
    void cancellingStopsTheToolAndClearsTheFlag() {
        // A tool that writes its file and then keeps the user selecting.
        useTool(test::writeScript(m_env.root() + QStringLiteral("/slow-tool"),
                                  "for last; do :; done; echo partial > \"$last\"; exec sleep 30"));
        ManualClock clock;
        auto owner = std::make_unique<QObject>();
        CaptureTask* task = ScreenCapture::capture(1'200'000, owner.get(), clock);
        clock.advance(0.15);
        QTRY_VERIFY(QFile::exists(task->tempPath()));
        owner.reset(); // cancels
        QVERIFY(!flagRaised());
        QCOMPARE(tempFiles(), QStringList());
        // Cancelled during the pause: the tool never starts.
        owner = std::make_unique<QObject>();
        ScreenCapture::capture(1'200'000, owner.get(), clock);
        QVERIFY(flagRaised());
        owner.reset();
        QVERIFY(!flagRaised());
        QCOMPARE(clock.pendingCount(), 0);
    }
    // Setting or desktop folder; the name from the clock, Latin digits, 24 hours, any locale.
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
        row("not set: desktop", unset, "Desktop" + name);
        row("not set: localised desktop", unset, "Schreibtisch" + name,
            "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
        row("wrong type", 42, "Desktop" + name);
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
    }
    // Panel: the desktop's tool first; area, or no such tool: ours, our windows left visible.
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

QTEST_MAIN(ScreenCaptureTest)
#include "tst_screencapture.moc"
