#include "EditorFixture.h"
#include "ManualClock.h"
#include "TestEnvironment.h"
#include "TestImages.h"
#include "platform/Defaults.h"
#include "screenshot/AnnotationEditor.h"
#include "screenshot/AnnotationWindowController.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImageReader>
#include <QQmlEngineExtensionPlugin>
#include <QQuickWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

using namespace notchora;
using test::EditorFixture;

namespace {

// A picture of `pixels` at `ratio` pixels per point.
QImage picture(QSize pixels, double ratio) {
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(EditorFixture::background);
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace

class AnnotatorTest : public QObject, test::EditorFixture {
    Q_OBJECT
private slots:
    void init() { resetProfile(); }
    void windowSize_data();
    void windowSize();
    void boxRules_data();
    void boxRules();
    void thicknessIsTakenWhenTheBoxIsMade();
    void undoAndClear();
    void exportKeepsFullResolution_data();
    void exportKeepsFullResolution();
    void saveWritesANewPngAndCloses();
    void saveFailureKeepsTheEditorOpen();
    void copyPutsThePictureOnTheClipboard();
    void showReadsAndDeletesThePicture();
    void showRefusesUnreadableFiles();
    void delayedCloseSparesANewerEditor();
    void windowTakesDragsAndShortcuts();
};

void AnnotatorTest::windowSize_data() {
    QTest::addColumn<QSizeF>("image");
    QTest::addColumn<QSizeF>("visible"); // empty: no screen
    QTest::addColumn<QSizeF>("expected");
    // maxW = 1200, maxH = 667.75, fit = 667.75 / 982.
    const double fit = 667.75 / 982;
    QTest::addRow("2x capture on a laptop")
        << QSizeF(1512, 982) << QSizeF(1440, 875) << QSizeF(1512 * fit + 24, 982 * fit + 76);
    QTest::addRow("tiny capture keeps the minimum width")
        << QSizeF(100, 50) << QSizeF(1440, 875) << QSizeF(620, 126);
    QTest::addRow("never enlarged") << QSizeF(800, 400) << QSizeF(2560, 1440) << QSizeF(824, 476);
    QTest::addRow("no screen") << QSizeF(2000, 1000) << QSizeF() << QSizeF(1020, 574);
    QTest::addRow("tall capture") << QSizeF(400, 2000) << QSizeF(1440, 875) << QSizeF(620, 743.75);
}

void AnnotatorTest::windowSize() {
    QFETCH(QSizeF, image);
    QFETCH(QSizeF, visible);
    QFETCH(QSizeF, expected);
    const QSizeF got = AnnotationWindowController::windowSize(
        image, visible.isEmpty() ? std::nullopt : std::optional(visible));
    QVERIFY2(qAbs(got.width() - expected.width()) < 0.01 &&
                 qAbs(got.height() - expected.height()) < 0.01,
             qPrintable(QStringLiteral("%1 x %2").arg(got.width()).arg(got.height())));
}

void AnnotatorTest::boxRules_data() {
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<QRectF>("box"); // null: no box
    QTest::addRow("2 x 50 is too thin") << QPointF(10, 0) << QPointF(12, 50) << QRectF();
    QTest::addRow("3 x 3 is a box") << QPointF(10, 10) << QPointF(13, 13) << QRectF(10, 10, 3, 3);
    QTest::addRow("ends outside: clipped")
        << QPointF(90, 40) << QPointF(150, 80) << QRectF(90, 40, 10, 10);
    QTest::addRow("dragged up and left")
        << QPointF(60, 30) << QPointF(20, 10) << QRectF(20, 10, 40, 20);
    QTest::addRow("a click is no drag") << QPointF(10, 10) << QPointF(11, 12) << QRectF();
    QTest::addRow("wholly outside") << QPointF(-50, -50) << QPointF(-10, -10) << QRectF();
    QTest::addRow("clipped to a sliver") << QPointF(-20, 5) << QPointF(2, 40) << QRectF();
}

void AnnotatorTest::boxRules() {
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(QRectF, box);
    ManualClock clock;
    AnnotationEditor editor(picture(QSize(100, 50), 1), clock);
    QSignalSpy drafts(&editor, &AnnotationEditor::draftChanged);
    editor.press(from);
    editor.drag((from + to) / 2);
    editor.drag(to);
    if (QLineF(from, to).length() >= 3) {
        QVERIFY(editor.draft().has_value());
        QCOMPARE(editor.draft()->rect, QRectF(from, to).normalized() & QRectF(0, 0, 100, 50));
    }
    editor.release(to);
    QVERIFY(!editor.draft());
    if (box.isNull()) {
        QCOMPARE(editor.boxCount(), 0);
        return;
    }
    QCOMPARE(editor.boxCount(), 1);
    QCOMPARE(editor.boxes().first().rect, box);
    QCOMPARE(editor.boxes().first().thickness, 3.0);
    QVERIFY(!editor.boxes().first().id.isNull());
}

void AnnotatorTest::thicknessIsTakenWhenTheBoxIsMade() {
    Defaults::shared().setDouble(AnnotationEditor::thicknessSetting.name(), 7);
    ManualClock clock;
    AnnotationEditor editor(picture(QSize(100, 100), 1), clock);
    QCOMPARE(editor.thickness(), 7.0);
    auto drag = [&](QPointF a, QPointF b) {
        editor.press(a);
        editor.drag(b);
        editor.release(b);
    };
    drag({10, 10}, {40, 40});
    editor.setThickness(12);
    QCOMPARE(Defaults::shared().doubleValue(AnnotationEditor::thicknessSetting.name()),
             std::optional(12.0));
    drag({50, 50}, {90, 90});
    QCOMPARE(editor.boxes().at(0).thickness, 7.0);
    QCOMPARE(editor.boxes().at(1).thickness, 12.0);
    QVERIFY(editor.boxes().at(0).id != editor.boxes().at(1).id);
}

void AnnotatorTest::undoAndClear() {
    ManualClock clock;
    AnnotationEditor editor(picture(QSize(100, 100), 1), clock);
    QSignalSpy changes(&editor, &AnnotationEditor::boxesChanged);
    editor.undo();
    editor.clear();
    QCOMPARE(changes.size(), 0);
    for (int i = 0; i < 3; ++i) {
        editor.press({10.0 * i, 10});
        editor.release({10.0 * i + 8, 30});
    }
    QCOMPARE(editor.boxCount(), 3);
    editor.undo();
    QCOMPARE(editor.boxCount(), 2);
    QCOMPARE(editor.boxes().last().rect, QRectF(10, 10, 8, 20));
    editor.clear();
    QCOMPARE(editor.boxCount(), 0);
    editor.undo();
    QCOMPARE(editor.boxCount(), 0);
}

void AnnotatorTest::exportKeepsFullResolution_data() {
    QTest::addColumn<double>("ratio");
    QTest::addRow("1x") << 1.0;
    QTest::addRow("2x") << 2.0;
}

// A 3-point stroke is 3 pixels wide at 1x and 6 at 2x, centred on the box edge.
void AnnotatorTest::exportKeepsFullResolution() {
    QFETCH(double, ratio);
    ManualClock clock;
    AnnotationEditor editor(picture(QSize(100, 50) * ratio, ratio), clock);
    QCOMPARE(editor.imageSize(), QSizeF(100, 50));
    editor.press({10, 10});
    editor.release({30, 30});
    const QImage out = editor.renderedImage();
    QCOMPARE(out.size(), QSize(100, 50) * ratio);
    const int edge = int(10 * ratio);
    const int half = int(1.5 * ratio);
    const int y = int(20 * ratio);
    QVERIFY(isRed(out.pixel(edge - half, y)));
    QVERIFY(isRed(out.pixel(edge + half - 1, y)));
    QCOMPARE(out.pixel(edge - half - 2, y), background);
    QCOMPARE(out.pixel(edge + half + 1, y), background);
    // Square ends and mitred corners: the outer corner is filled.
    QVERIFY(isRed(out.pixel(edge - half, edge - half)));
}

void AnnotatorTest::saveWritesANewPngAndCloses() {
    ManualClock clock(QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::LocalTime));
    AnnotationEditor editor(picture(QSize(200, 100), 2), clock);
    QSignalSpy closes(&editor, &AnnotationEditor::closeRequested);
    editor.press({10, 10});
    editor.release({30, 30});
    const QString path = editor.save();
    QCOMPARE(path, folder() + QStringLiteral("/Screenshot 2024-03-09 at 14.05.07.png"));
    QCOMPARE(editor.message(), QStringLiteral("Tersimpan: Screenshot 2024-03-09 at 14.05.07.png"));
    QVERIFY(!editor.messageIsError());
    QImage saved(path, "PNG");
    QCOMPARE(saved.size(), QSize(200, 100));
    QVERIFY(isRed(saved.pixel(20, 40)));
    QCOMPARE(saved.convertToFormat(QImage::Format_ARGB32),
             editor.renderedImage().convertToFormat(QImage::Format_ARGB32));

    clock.advance(0.79);
    QCOMPARE(closes.size(), 0);
    clock.advance(0.01);
    QCOMPARE(closes.size(), 1);

    // Another save within the same second keeps the first file.
    AnnotationEditor second(picture(QSize(40, 40), 1), clock);
    QCOMPARE(second.save(),
             folder() + QStringLiteral("/Screenshot 2024-03-09 at 14.05.07 (2).png"));
    QCOMPARE(QImage(path).size(), QSize(200, 100));
}

void AnnotatorTest::saveFailureKeepsTheEditorOpen() {
    // The screenshot folder is a file: nothing can be written there.
    QVERIFY(test::writeFile(folder(), "not a folder"));
    ManualClock clock;
    AnnotationEditor editor(picture(QSize(60, 60), 1), clock);
    QSignalSpy closes(&editor, &AnnotationEditor::closeRequested);
    editor.press({5, 5});
    editor.release({50, 50});
    QCOMPARE(editor.save(), QString());
    QVERIFY(editor.messageIsError());
    QVERIFY(editor.message().startsWith(QStringLiteral("Gagal menyimpan gambar.")));
    QCOMPARE(editor.boxCount(), 1);
    clock.advance(5);
    QCOMPARE(closes.size(), 0);
    QFile::remove(folder());
}

void AnnotatorTest::copyPutsThePictureOnTheClipboard() {
    ManualClock clock;
    AnnotationEditor editor(picture(QSize(80, 60), 1), clock);
    QSignalSpy closes(&editor, &AnnotationEditor::closeRequested);
    editor.press({10, 10});
    editor.release({40, 40});
    editor.copy();
    QCOMPARE(editor.message(), QStringLiteral("Tersalin ke clipboard"));
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(80, 60));
    QVERIFY(isRed(copied.pixel(10, 25)));
    clock.advance(0.8);
    QCOMPARE(closes.size(), 1);
}

void AnnotatorTest::showReadsAndDeletesThePicture() {
    ManualClock clock;
    AnnotationWindowController controller(clock);
    const QString path = writePicture(QStringLiteral("shot.png"), QSize(400, 200), 192);
    QVERIFY(controller.show(path));
    QVERIFY(!QFile::exists(path));
    QQuickWindow* window = controller.window();
    QVERIFY(window);
    QCOMPARE(window->title(), QStringLiteral("Redframe — beri kotak merah"));
    QCOMPARE(controller.editor()->imageSize(), QSizeF(200, 100));
    const QSizeF expected = AnnotationWindowController::windowSize(
        QSizeF(200, 100), QSizeF(QGuiApplication::primaryScreen()->availableGeometry().size()));
    QCOMPARE(window->size(), expected.toSize());

    // One editor at a time.
    QPointer<QQuickWindow> first = window;
    QVERIFY(controller.show(writePicture(QStringLiteral("next.png"), QSize(100, 50), 96)));
    QTRY_VERIFY(!first);
    QVERIFY(controller.window());
    QCOMPARE(controller.editor()->imageSize(), QSizeF(100, 50));
}

void AnnotatorTest::showRefusesUnreadableFiles() {
    ManualClock clock;
    AnnotationWindowController controller(clock);
    const QString path = m_env.root() + QStringLiteral("/broken.png");
    QVERIFY(test::writeFile(path, "not a png"));
    QVERIFY(!controller.show(path));
    QVERIFY(QFile::exists(path));
    QVERIFY(!controller.window());
    QVERIFY(!controller.show(m_env.root() + QStringLiteral("/missing.png")));
}

void AnnotatorTest::delayedCloseSparesANewerEditor() {
    ManualClock clock;
    AnnotationWindowController controller(clock);
    QVERIFY(controller.show(writePicture(QStringLiteral("a.png"), QSize(100, 80), 96)));
    controller.editor()->copy(); // closes in 0.8 s
    clock.advance(0.5);
    QVERIFY(controller.show(writePicture(QStringLiteral("b.png"), QSize(120, 90), 96)));
    QPointer<QQuickWindow> newer = controller.window();
    clock.advance(1.0);
    QCoreApplication::processEvents();
    QVERIFY(newer);
    QVERIFY(newer->isVisible());
    QCOMPARE(controller.window(), newer.data());

    // Its own delayed close does close it.
    controller.editor()->copy();
    clock.advance(0.8);
    QTRY_VERIFY(!newer);
    QVERIFY(!controller.window());
}

void AnnotatorTest::windowTakesDragsAndShortcuts() {
    ManualClock clock;
    AnnotationWindowController controller(clock);
    QVERIFY(controller.show(writePicture(QStringLiteral("ui.png"), QSize(300, 200), 96)));
    QQuickWindow* window = controller.window();
    QTRY_VERIFY(window->isExposed());
    AnnotationEditor* editor = controller.editor();
    // The picture is centred below the 52-point toolbar, at its own size.
    const QPoint origin((window->width() - 300) / 2, 52 + (window->height() - 52 - 200) / 2);
    QTest::mousePress(window, Qt::LeftButton, {}, origin + QPoint(20, 20));
    QTest::mouseMove(window, origin + QPoint(60, 50));
    QTest::mouseMove(window, origin + QPoint(100, 80));
    QTest::mouseRelease(window, Qt::LeftButton, {}, origin + QPoint(100, 80));
    QCOMPARE(editor->boxCount(), 1);
    const QRectF box = editor->boxes().first().rect;
    QVERIFY2(qAbs(box.x() - 20) <= 1 && qAbs(box.width() - 80) <= 1 && qAbs(box.height() - 60) <= 1,
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(box.x())
                            .arg(box.y())
                            .arg(box.width())
                            .arg(box.height())));

    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(editor->boxCount(), 0);
    QPointer<QQuickWindow> guard = window;
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!guard);
    QVERIFY(!controller.window());
}

QTEST_MAIN(AnnotatorTest)
#include "tst_annotator.moc"
