#include "ManualClock.h"
#include "TestEnvironment.h"
#include "TestImages.h"
#include "core/CaptureVisibility.h"
#include "screenshot/CaptureTask.h"
#include "screenshot/ScreenCapture.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

using namespace notchora;
using CaptureError = ScreenCapture::CaptureError;

class ScreenCaptureTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void ladderBoundaries_data();
    void ladderBoundaries();
    void ladderFailures_data();
    void ladderFailures();
    void orientationIsApplied();
    void smallImageKeepsItsSize();
    void encodeRunsOffTheGuiThread();
    void captureOutcomes_data();
    void captureOutcomes();
    void permissionRefusedWithoutDisplay();
    void cancellingStopsTheToolAndClearsTheFlag();

private:
    // Captures go to a private folder under the runtime dir, never the shared /tmp.
    QString tempDir() const { return m_env.runtimeDir() + QStringLiteral("/notchora"); }
    QStringList tempFiles() const {
        return QDir(tempDir()).entryList(QDir::Files | QDir::NoDotAndDotDot);
    }
    ScreenCapture::Result runCapture(ManualClock& clock, qint64 maxBytes);

    test::TestEnvironment m_env;
    QByteArray m_screenshot; // 2880 × 1800 JPEG, like a full-screen capture
};

void ScreenCaptureTest::initTestCase() {
    QDir().mkpath(tempDir());
    qputenv("TMPDIR", QFile::encodeName(tempDir()));
    m_screenshot = test::encoded(test::screenshotLike(2880, 1800), "jpeg", 92);
    QVERIFY(m_screenshot.size() > 200'000);
}

void ScreenCaptureTest::init() {
    for (const QString& f : tempFiles())
        QFile::remove(tempDir() + QLatin1Char('/') + f);
    // A display on another host counts as reachable; the tool alone could tell otherwise.
    qputenv("DISPLAY", "capturehost:0");
}

// Each rung wins when its result is exactly the limit; one byte less moves down a rung.
void ScreenCaptureTest::ladderBoundaries_data() {
    QTest::addColumn<int>("rung");
    for (int i = 0; i < int(ScreenCapture::ladder.size()); ++i)
        QTest::addRow("rung %d", i + 1) << i;
}

void ScreenCaptureTest::ladderBoundaries() {
    QFETCH(int, rung);
    const auto [maxPixel, quality] = ScreenCapture::ladder[rung];
    const ScreenCapture::Result own = ScreenCapture::downscale(m_screenshot, maxPixel, quality);
    QVERIFY(own.ok());
    QCOMPARE(std::max(own.image->width, own.image->height), maxPixel);
    QCOMPARE(own.image->width * 1800, own.image->height * 2880);
    const qint64 size = own.image->data.size();

    // Exactly the limit passes at this rung.
    const ScreenCapture::Result atLimit = ScreenCapture::fit(m_screenshot, size);
    QVERIFY(atLimit.ok());
    QCOMPARE(atLimit.image->width, own.image->width);
    QCOMPARE(atLimit.image->data, own.image->data);

    // One byte more than the limit allows goes to the next rung, or fails after the last.
    const ScreenCapture::Result below = ScreenCapture::fit(m_screenshot, size - 1);
    if (rung + 1 == int(ScreenCapture::ladder.size())) {
        QCOMPARE(below.error, std::optional(CaptureError::tooLarge));
        return;
    }
    const auto next = ScreenCapture::ladder[rung + 1];
    const ScreenCapture::Result expected =
        ScreenCapture::downscale(m_screenshot, next.maxPixel, next.quality);
    QVERIFY2(expected.image->data.size() < size, "the next rung must be smaller");
    QVERIFY(below.ok());
    QCOMPARE(below.image->width, expected.image->width);
    QCOMPARE(below.image->data.size(), expected.image->data.size());
}

void ScreenCaptureTest::ladderFailures_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<int>("error");
    QTest::addRow("every rung too large")
        << m_screenshot << qint64(1000) << int(CaptureError::tooLarge);
    QTest::addRow("not an image") << QByteArray("definitely not a picture") << qint64(1'200'000)
                                  << int(CaptureError::captureFailed);
    QTest::addRow("empty") << QByteArray() << qint64(1'200'000) << int(CaptureError::captureFailed);
    QTest::addRow("truncated jpeg")
        << m_screenshot.left(200) << qint64(1'200'000) << int(CaptureError::captureFailed);
}

void ScreenCaptureTest::ladderFailures() {
    QFETCH(QByteArray, input);
    QFETCH(qint64, maxBytes);
    QFETCH(int, error);
    const ScreenCapture::Result result = ScreenCapture::fit(input, maxBytes);
    QVERIFY(!result.ok());
    QCOMPARE(result.error, std::optional(CaptureError(error)));
    QCOMPARE(result.errorMessage(), ScreenCapture::description(CaptureError(error)));
}

void ScreenCaptureTest::orientationIsApplied() {
    // Stored 40 × 20, red left and blue right; orientation 6 turns it a quarter clockwise,
    // so the left half ends up on top.
    QImage stored(40, 20, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            stored.setPixel(x, y, qRgb(255, 0, 0));
    const QByteArray jpeg = test::withExifOrientation(test::encoded(stored, "jpeg", 95), 6);
    const ScreenCapture::Result result = ScreenCapture::fit(jpeg, 1'200'000);
    QVERIFY(result.ok());
    QCOMPARE(result.image->width, 20);
    QCOMPARE(result.image->height, 40);
    const QImage out = QImage::fromData(result.image->data);
    QCOMPARE(out.size(), QSize(20, 40));
    QVERIFY(qRed(out.pixel(10, 5)) > 200 && qBlue(out.pixel(10, 5)) < 60);
    QVERIFY(qBlue(out.pixel(10, 35)) > 200 && qRed(out.pixel(10, 35)) < 60);
}

void ScreenCaptureTest::smallImageKeepsItsSize() {
    // A PNG with transparency: re-encoded at its own size, the clear part on white.
    QImage small(300, 200, QImage::Format_ARGB32);
    small.fill(Qt::transparent);
    for (int x = 0; x < 150; ++x)
        for (int y = 0; y < 200; ++y)
            small.setPixel(x, y, qRgba(20, 30, 200, 255));
    const ScreenCapture::Result result = ScreenCapture::fit(test::encoded(small, "png"), 1'200'000);
    QVERIFY(result.ok());
    QCOMPARE(QSize(result.image->width, result.image->height), QSize(300, 200));
    const QImage out = QImage::fromData(result.image->data, "JPEG");
    QCOMPARE(out.size(), QSize(300, 200));
    QVERIFY(qGray(out.pixel(250, 100)) > 240);
    QVERIFY(qBlue(out.pixel(50, 100)) > 170 && qRed(out.pixel(50, 100)) < 60);
    // Rung 1 quality: the same bytes as encoding at 0.75 directly.
    QCOMPARE(result.image->data,
             ScreenCapture::downscale(test::encoded(small, "png"), 1920, 0.75).image->data);
}

void ScreenCaptureTest::encodeRunsOffTheGuiThread() {
    QObject receiver;
    std::optional<ScreenCapture::Result> got;
    ScreenCapture::encode(m_screenshot, 1'200'000, &receiver, [&](const ScreenCapture::Result& r) {
        QCOMPARE(QThread::currentThread(), qApp->thread());
        got = r;
    });
    QVERIFY(!got); // not delivered synchronously
    QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 20000);
    QVERIFY(got->ok());
    QCOMPARE(got->image->width, 1920);

    // A receiver gone before the result arrives gets nothing.
    bool called = false;
    {
        QObject gone;
        ScreenCapture::encode(m_screenshot, 1'200'000, &gone,
                              [&](const ScreenCapture::Result&) { called = true; });
    }
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QVERIFY(!called);
}

ScreenCapture::Result ScreenCaptureTest::runCapture(ManualClock& clock, qint64 maxBytes) {
    QObject owner;
    CaptureTask* task = ScreenCapture::capture(maxBytes, &owner, clock);
    QSignalSpy finished(task, &CaptureTask::finished);
    if (!CaptureVisibility::shared().isAICaptureInProgress())
        qWarning("flag not raised at start");
    clock.advance(0.15);
    if (finished.isEmpty())
        finished.wait(20000);
    if (finished.size() != 1)
        return ScreenCapture::Result::launchFailure(QStringLiteral("no result"));
    return finished.first().first().value<ScreenCapture::Result>();
}

// The tool stands in as small scripts that behave like the real one in each situation.
void ScreenCaptureTest::captureOutcomes_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<int>("error"); // -1: success, -2: launch error
    const QString picture = m_env.root() + QStringLiteral("/picture.jpg");
    test::writeFile(picture, m_screenshot);
    const QByteArray copy = "for last; do :; done; cp '" + picture.toUtf8() + "' \"$last\"";
    QTest::addRow("picture") << copy << qint64(1'200'000) << -1;
    QTest::addRow("picture too large") << copy << qint64(500) << int(CaptureError::tooLarge);
    QTest::addRow("no file (refused)")
        << QByteArray("exit 0") << qint64(1'200'000) << int(CaptureError::captureFailed);
    QTest::addRow("empty file") << QByteArray("for last; do :; done; : > \"$last\"")
                                << qint64(1'200'000) << int(CaptureError::captureFailed);
    QTest::addRow("not a picture, failing exit")
        << QByteArray("for last; do :; done; echo garbage > \"$last\"; exit 3") << qint64(1'200'000)
        << int(CaptureError::captureFailed);
    QTest::addRow("tool missing") << QByteArray() << qint64(1'200'000) << -2;
}

void ScreenCaptureTest::captureOutcomes() {
    QFETCH(QByteArray, script);
    QFETCH(qint64, maxBytes);
    QFETCH(int, error);
    const QString tool =
        script.isEmpty()
            ? m_env.root() + QStringLiteral("/no-such-tool")
            : test::writeScript(m_env.root() + QStringLiteral("/fake-tool"),
                                "echo \"$@\" > '" + m_env.root().toUtf8() + "/args'\n" + script);
    qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(tool));
    QFile::remove(m_env.root() + QStringLiteral("/args"));

    ManualClock clock;
    QSignalSpy visibility(&CaptureVisibility::shared(), &CaptureVisibility::didChange);
    const ScreenCapture::Result result = runCapture(clock, maxBytes);

    if (error == -1) {
        QVERIFY2(result.ok(), qPrintable(result.errorMessage()));
        QCOMPARE(result.image->width, 1920);
        QCOMPARE(result.image->height, 1200);
    } else if (error == -2) {
        QVERIFY(!result.ok());
        QVERIFY(!result.error);
        QVERIFY(!result.launchError.isEmpty());
        QVERIFY(result.launchError != QLatin1String("no result"));
    } else {
        QCOMPARE(result.error, std::optional(CaptureError(error)));
    }
    if (!script.isEmpty()) {
        const QByteArray args = test::readFile(m_env.root() + QStringLiteral("/args")).trimmed();
        QVERIFY2(args.startsWith("-x -t jpg " + QFile::encodeName(tempDir()) + "/capture-"),
                 args.constData());
        QCOMPARE(QFile::permissions(tempDir()) & 0x0077, QFileDevice::Permissions());
        QVERIFY(args.endsWith(".jpg"));
    }
    // Raised once and lowered once, and no temporary file left behind.
    QCOMPARE(visibility.size(), 2);
    QVERIFY(!CaptureVisibility::shared().isAICaptureInProgress());
    QCOMPARE(tempFiles(), QStringList());
}

void ScreenCaptureTest::permissionRefusedWithoutDisplay() {
    qputenv("NOTCHORA_SCREENCAPTURE_TOOL", "/bin/true");
    ManualClock clock;
    for (const char* display : {"", ":987"}) {
        qputenv("DISPLAY", display);
        QVERIFY(!ScreenCapture::preflightAccess());
        QObject owner;
        CaptureTask* task = ScreenCapture::capture(1'200'000, &owner, clock);
        QSignalSpy finished(task, &CaptureTask::finished);
        // The check waits for the pause, like the capture itself.
        clock.advance(0.149);
        QVERIFY(finished.isEmpty());
        QVERIFY(CaptureVisibility::shared().isAICaptureInProgress());
        clock.advance(0.001);
        QCOMPARE(finished.size(), 1); // at once: no tool was started
        const auto result = finished.first().first().value<ScreenCapture::Result>();
        QCOMPARE(result.error, std::optional(CaptureError::permissionDenied));
        QVERIFY(result.errorMessage().startsWith("Notchora belum diizinkan merekam layar."));
        QVERIFY(!CaptureVisibility::shared().isAICaptureInProgress());
    }
}

void ScreenCaptureTest::cancellingStopsTheToolAndClearsTheFlag() {
    // A tool that writes its file and then keeps the user selecting.
    qputenv("NOTCHORA_SCREENCAPTURE_TOOL",
            QFile::encodeName(test::writeScript(
                m_env.root() + QStringLiteral("/slow-tool"),
                "for last; do :; done; echo partial > \"$last\"; exec sleep 30")));
    ManualClock clock;
    auto* owner = new QObject;
    CaptureTask* task = ScreenCapture::capture(1'200'000, owner, clock);
    clock.advance(0.15);
    QTRY_VERIFY(QFile::exists(task->tempPath()));
    QVERIFY(CaptureVisibility::shared().isAICaptureInProgress());
    delete owner; // cancels
    QVERIFY(!CaptureVisibility::shared().isAICaptureInProgress());
    QCOMPARE(tempFiles(), QStringList());

    // Cancelled during the pause: the tool never starts.
    auto* early = new QObject;
    ScreenCapture::capture(1'200'000, early, clock);
    QVERIFY(CaptureVisibility::shared().isAICaptureInProgress());
    delete early;
    QVERIFY(!CaptureVisibility::shared().isAICaptureInProgress());
    QCOMPARE(clock.pendingCount(), 0);
}

QTEST_MAIN(ScreenCaptureTest)
#include "tst_screencapture.moc"
