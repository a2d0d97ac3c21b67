#include "ManualClock.h"
#include "TestEnvironment.h"
#include "TestImages.h"
#include "core/CaptureVisibility.h"
#include "screenshot/CaptureTask.h"
#include "screenshot/ScreenCapture.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

using namespace notchora;
using CaptureError = ScreenCapture::CaptureError;
using Result = ScreenCapture::Result;

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
    // The last rung's limit is ladderBoundaries'.
    void brokenInputFails_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addRow("not an image") << QByteArray("definitely not a picture");
        QTest::addRow("empty") << QByteArray();
        QTest::addRow("truncated jpeg") << m_screenshot.left(200);
    }
    void brokenInputFails() {
        QFETCH(QByteArray, input);
        const Result result = ScreenCapture::fit(input, 1'200'000);
        QCOMPARE(result.error, std::optional(CaptureError::captureFailed));
        QCOMPARE(result.errorMessage(), ScreenCapture::description(CaptureError::captureFailed));
    }
    // Stored 40 × 20, red left and blue right; orientation 6 turns it a quarter clockwise, so
    // the left half ends up on top.
    void orientationIsApplied() {
        QImage stored(40, 20, QImage::Format_RGB32);
        stored.fill(Qt::blue);
        QPainter(&stored).fillRect(0, 0, 20, 20, Qt::red);
        const QByteArray jpeg = test::withExifOrientation(test::encoded(stored, "jpeg", 95), 6);
        const Result result = ScreenCapture::fit(jpeg, 1'200'000);
        QVERIFY(result.ok());
        QCOMPARE(QSize(result.image->width, result.image->height), QSize(20, 40));
        const QImage out = QImage::fromData(result.image->data);
        QCOMPARE(out.size(), QSize(20, 40));
        QVERIFY(qRed(out.pixel(10, 5)) > 200 && qBlue(out.pixel(10, 5)) < 60);
        QVERIFY(qBlue(out.pixel(10, 35)) > 200 && qRed(out.pixel(10, 35)) < 60);
    }
    // A PNG with transparency: re-encoded at its own size and rung 1's quality, clear on white.
    void smallImageKeepsItsSize() {
        QImage small(300, 200, QImage::Format_ARGB32);
        small.fill(Qt::transparent);
        QPainter(&small).fillRect(0, 0, 150, 200, QColor(20, 30, 200));
        const QByteArray png = test::encoded(small, "png");
        const Result result = ScreenCapture::fit(png, 1'200'000);
        QVERIFY(result.ok());
        const QImage out = QImage::fromData(result.image->data, "JPEG");
        QCOMPARE(out.size(), QSize(300, 200));
        QCOMPARE(QSize(result.image->width, result.image->height), out.size());
        QVERIFY(qGray(out.pixel(250, 100)) > 240);
        QVERIFY(qBlue(out.pixel(50, 100)) > 170 && qRed(out.pixel(50, 100)) < 60);
        QCOMPARE(result.image->data, ScreenCapture::downscale(png, 1920, 0.75).image->data);
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
        QCOMPARE(got->image->width, 1920);
        // A receiver gone before the result arrives gets nothing.
        bool called = false;
        ScreenCapture::encode(m_screenshot, 1'200'000, std::make_unique<QObject>().get(),
                              [&](const Result&) { called = true; });
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(!called);
    }
    // The tool stands in as small scripts that behave like the real one in each situation.
    // Without a reachable display the capture is refused after the pause, without the tool.
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
        QTest::addRow("no file (refused)") << host << QByteArray("exit 0") << failed;
        QTest::addRow("empty file") << host << QByteArray(": > \"$last\"") << failed;
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
        QCOMPARE(ScreenCapture::preflightAccess(), !display.isEmpty() && display != ":987");
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
        if (error == -1) {
            QVERIFY2(result.ok(), qPrintable(result.errorMessage()));
            QCOMPARE(QSize(result.image->width, result.image->height), QSize(1920, 1200));
        } else if (error == -2) {
            QVERIFY(!result.ok() && !result.error && !result.launchError.isEmpty());
        } else {
            QCOMPARE(result.error, std::optional(CaptureError(error)));
            QVERIFY(
                result.errorMessage().startsWith(ScreenCapture::description(result.error.value())));
        }
        if (error == int(CaptureError::permissionDenied)) {
            QVERIFY(!QFile::exists(args));
        } else if (!script.isEmpty()) {
            const QByteArray used = test::readFile(args).trimmed();
            QVERIFY2(used.startsWith("-x -t jpg " + QFile::encodeName(tempDir()) + "/capture-") &&
                         used.endsWith(".jpg"),
                     used.constData());
            QCOMPARE(QFile::permissions(tempDir()) & 0x0077, QFileDevice::Permissions());
        }
        // Raised once and lowered once, and no temporary file left behind.
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
};

QTEST_MAIN(ScreenCaptureTest)
#include "tst_screencapture.moc"
