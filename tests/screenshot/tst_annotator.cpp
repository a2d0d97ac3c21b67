#include "ManualClock.h"
#include "TestEnvironment.h"
#include "TestImages.h"
#include "core/CaptureVisibility.h"
#include "platform/Defaults.h"
#include "screenshot/AnnotationEditor.h"
#include "screenshot/AnnotationWindowController.h"
#include "screenshot/ScreenshotAction.h"

#include <QClipboard>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

using namespace notchora;

namespace {

constexpr QRgb background = 0xff1e783c;

bool isRed(QRgb c) {
    return qRed(c) > 200 && qGreen(c) < 110 && qBlue(c) < 110;
}

QImage picture(QSize pixels, double ratio = 1) {
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(background);
    image.setDevicePixelRatio(ratio);
    return image;
}

QList<QQuickItem*> itemsUnder(QQuickItem* item) {
    QList<QQuickItem*> items{item};
    for (QQuickItem* child : item->childItems())
        items << itemsUnder(child);
    return items;
}

// The items under `item` showing `text` (text items, or buttons when `button`).
QList<QQuickItem*> withText(QQuickItem* item, const QString& text, bool button = false) {
    QList<QQuickItem*> found;
    if (item->property("text").toString() == text &&
        (button ? item->metaObject()->indexOfSignal("clicked()") >= 0
                : item->inherits("QQuickText")))
        found << item;
    for (QQuickItem* child : item->childItems())
        found << withText(child, text, button);
    return found;
}

QRectF sceneRect(const QQuickItem* item) {
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

void drag(AnnotationEditor& editor, QPointF from, QPointF to) {
    editor.press(from);
    editor.drag((from + to) / 2);
    editor.drag(to);
    editor.release(to);
}

} // namespace

class AnnotatorTest : public QObject {
    Q_OBJECT

    test::TestEnvironment m_env;

    QString folder() const { return m_env.root() + QStringLiteral("/shots"); }
    // A flat PNG recording `dpi`, from which the editor reads the picture's scale.
    QString writePicture(QSize pixels, double dpi) const {
        const QString path = m_env.root() + QStringLiteral("/picture.png");
        QImage image = picture(pixels);
        image.setDotsPerMeterX(qRound(dpi / 0.0254));
        image.setDotsPerMeterY(qRound(dpi / 0.0254));
        image.save(path, "PNG");
        return path;
    }

private slots:
    void init() {
        Defaults::shared(QStringLiteral("screencapture"))
            .setString(QStringLiteral("location"), folder());
        Defaults::shared().remove(AnnotationEditor::thicknessSetting.name());
        Defaults::shared().setBool(QStringLiteral("shot.redframe"), true);
        QDir(folder()).removeRecursively();
        QFile::remove(folder());
    }
    void windowSize_data() {
        QTest::addColumn<QSizeF>("image");
        QTest::addColumn<QSizeF>("visible"); // empty: no screen
        QTest::addColumn<QSizeF>("expected");
        const double fit = 667.75 / 982; // at most 1200 x 667.75 of a 1440 x 875 screen
        QTest::addRow("2x capture on a laptop")
            << QSizeF(1512, 982) << QSizeF(1440, 875) << QSizeF(1512 * fit + 24, 982 * fit + 76);
        QTest::addRow("tiny capture keeps the minimum width")
            << QSizeF(100, 50) << QSizeF(1440, 875) << QSizeF(620, 126);
        QTest::addRow("never enlarged")
            << QSizeF(800, 400) << QSizeF(2560, 1440) << QSizeF(824, 476);
        QTest::addRow("no screen") << QSizeF(2000, 1000) << QSizeF() << QSizeF(1020, 574);
        QTest::addRow("tall capture")
            << QSizeF(400, 2000) << QSizeF(1440, 875) << QSizeF(620, 743.75);
    }
    void windowSize() {
        QFETCH(QSizeF, image);
        QFETCH(QSizeF, visible);
        QFETCH(QSizeF, expected);
        QCOMPARE(AnnotationWindowController::windowSize(
                     image, visible.isEmpty() ? std::nullopt : std::optional(visible)),
                 expected);
    }
    void boxRules_data() {
        QTest::addColumn<QPointF>("from");
        QTest::addColumn<QPointF>("to");
        QTest::addColumn<QRectF>("box"); // null: no box
        QTest::addRow("2 x 50 is too thin") << QPointF(10, 0) << QPointF(12, 50) << QRectF();
        QTest::addRow("3 x 3 is a box")
            << QPointF(10, 10) << QPointF(13, 13) << QRectF(10, 10, 3, 3);
        QTest::addRow("ends outside: clipped")
            << QPointF(90, 40) << QPointF(150, 80) << QRectF(90, 40, 10, 10);
        QTest::addRow("dragged up and left")
            << QPointF(60, 30) << QPointF(20, 10) << QRectF(20, 10, 40, 20);
        QTest::addRow("a click is no drag") << QPointF(10, 10) << QPointF(11, 12) << QRectF();
        QTest::addRow("wholly outside") << QPointF(-50, -50) << QPointF(-10, -10) << QRectF();
        QTest::addRow("clipped to a sliver") << QPointF(-20, 5) << QPointF(2, 40) << QRectF();
    }
    void boxRules() {
        QFETCH(QPointF, from);
        QFETCH(QPointF, to);
        QFETCH(QRectF, box);
        ManualClock clock;
        AnnotationEditor editor(picture(QSize(100, 50)), clock);
        drag(editor, from, to);
        QVERIFY(!editor.draft());
        QCOMPARE(editor.boxCount() ? editor.boxes().first().rect : QRectF(), box);
    }
    // Boxes keep the thickness they were made with; undo and clear change only what is there.
    void thicknessUndoAndClear() {
        Defaults::shared().setDouble(AnnotationEditor::thicknessSetting.name(), 7);
        ManualClock clock;
        AnnotationEditor editor(picture(QSize(100, 100)), clock);
        drag(editor, {10, 10}, {40, 40});
        editor.setThickness(12);
        QCOMPARE(Defaults::shared().doubleValue(AnnotationEditor::thicknessSetting.name()),
                 std::optional(12.0));
        drag(editor, {50, 50}, {90, 90});
        drag(editor, {20, 60}, {30, 90});
        QCOMPARE(editor.boxes().at(0).thickness, 7.0);
        QCOMPARE(editor.boxes().at(1).thickness, 12.0);
        editor.undo();
        QCOMPARE(editor.boxCount(), 2);
        QCOMPARE(editor.boxes().last().rect, QRectF(50, 50, 40, 40));
        editor.clear();
        editor.undo();
        QCOMPARE(editor.boxCount(), 0);
    }
    // Saved or copied at full resolution, then closed soon; a failed save says why and stays.
    void saveAndCopy_data() {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<bool>("blocked"); // the screenshot folder is a file
        QTest::addColumn<QString>("message");
        QTest::addRow("save") << false << false
                              << "Tersimpan: Screenshot 2024-03-09 at 14.05.07.png";
        QTest::addRow("copy") << true << false << "Tersalin ke clipboard";
        QTest::addRow("save fails") << false << true << "Gagal menyimpan gambar.";
    }
    void saveAndCopy() {
        QFETCH(bool, copy);
        QFETCH(bool, blocked);
        QFETCH(QString, message);
        if (blocked)
            QVERIFY(test::writeFile(folder(), "not a folder"));
        ManualClock clock(QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::LocalTime));
        AnnotationEditor editor(picture(QSize(200, 100), 2), clock);
        QSignalSpy closes(&editor, &AnnotationEditor::closeRequested);
        drag(editor, {10, 10}, {30, 30});
        QImage handed;
        if (copy) {
            editor.copy();
            handed = QGuiApplication::clipboard()->image();
        } else {
            const QString path = editor.save();
            QCOMPARE(path,
                     blocked ? QString() : folder() + "/Screenshot 2024-03-09 at 14.05.07.png");
            handed = QImage(path, "PNG");
        }
        QVERIFY2(editor.message().startsWith(message), qPrintable(editor.message()));
        QCOMPARE(editor.messageIsError(), blocked);
        if (!blocked) {
            // The 3-point stroke is 6 pixels, centred on the box edge (x 20), with mitred corners.
            QCOMPARE(handed.size(), QSize(200, 100));
            QVERIFY(isRed(handed.pixel(17, 40)) && isRed(handed.pixel(22, 40)) &&
                    isRed(handed.pixel(17, 17)));
            QVERIFY(handed.pixel(15, 40) == background && handed.pixel(24, 40) == background);
        }
        clock.advance(0.79);
        QCOMPARE(closes.size(), 0);
        clock.advance(blocked ? 5 : 0.01);
        QCOMPARE(closes.size(), blocked ? 0 : 1);
        QCOMPARE(editor.boxCount(), 1);
    }
    void showReplacesTheEditor() {
        ManualClock clock;
        AnnotationWindowController controller(clock);
        QVERIFY(controller.show(writePicture(QSize(400, 200), 192)));
        QPointer<QQuickWindow> window = controller.window();
        QCOMPARE(controller.editor()->imageSize(), QSizeF(200, 100));
        // One editor at a time; the old one's delayed close spares the new one.
        controller.editor()->copy(); // closes in 0.8 s
        clock.advance(0.5);
        QVERIFY(controller.show(writePicture(QSize(100, 50), 96)));
        QTRY_VERIFY(!window);
        window = controller.window();
        QCOMPARE(controller.editor()->imageSize(), QSizeF(100, 50));
        clock.advance(1.0);
        QCoreApplication::processEvents();
        QVERIFY(window && window->isVisible());
        QCOMPARE(controller.window(), window.data());
        controller.editor()->copy();
        clock.advance(0.8);
        QTRY_VERIFY(!window);
        QVERIFY(!controller.window());
    }
    // Paints the picture (scaled to fit) and the boxes, takes drags, the buttons and the keys.
    void windowDrawsAndTakesInput_data() {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<double>("thickness");
        QTest::addRow("at its own size") << QSize(300, 200) << 3.0;
        QTest::addRow("scaled down to fit") << QSize(2400, 1200) << 14.0;
    }
    void windowDrawsAndTakesInput() {
        QFETCH(QSize, pixels);
        QFETCH(double, thickness);
        Defaults::shared().setDouble(AnnotationEditor::thicknessSetting.name(), thickness);
        ManualClock clock(QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::LocalTime));
        AnnotationWindowController controller(clock);
        QVERIFY(controller.show(writePicture(pixels, 96)));
        QPointer<QQuickWindow> window = controller.window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QQuickItem* canvas = nullptr;
        for (QQuickItem* item : itemsUnder(window->contentItem()))
            canvas = item->inherits("notchora::AnnotatedCanvas") ? item : canvas;
        const QList<QQuickItem*> saves = withText(window->contentItem(), "Simpan", true);
        QVERIFY(canvas && saves.size() == 1);
        // A point of the picture, in fractions of its size, in the window.
        auto at = [&](double x, double y) {
            return canvas->mapToScene({pixels.width() * x, pixels.height() * y});
        };
        auto redAt = [&](double x, double y) {
            const QImage frame = window->grabWindow();
            return isRed(frame.pixel((at(x, y) * frame.width() / window->width()).toPoint()));
        };
        QVERIFY(!redAt(0.25, 0.5));
        QTest::mousePress(window, Qt::LeftButton, {}, at(0.25, 0.25).toPoint());
        QTest::mouseMove(window, at(0.5, 0.5).toPoint());
        QTest::mouseMove(window, at(0.75, 0.75).toPoint());
        QVERIFY(redAt(0.25, 0.5) && !redAt(0.5, 0.5) && !redAt(0.1, 0.5));
        QTest::mouseRelease(window, Qt::LeftButton, {}, at(0.75, 0.75).toPoint());
        QCOMPARE(controller.editor()->boxCount(), 1);
        QVERIFY(redAt(0.25, 0.5) && redAt(0.75, 0.75) && !redAt(0.5, 0.5));
        QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(controller.editor()->boxCount(), 0);
        QVERIFY(!redAt(0.25, 0.5));
        QTest::mouseClick(window, Qt::LeftButton, {}, sceneRect(saves.first()).center().toPoint());
        QVERIFY(QFile::exists(folder() + "/Screenshot 2024-03-09 at 14.05.07.png"));
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(!window);
    }
    // With the red-box option on, the area command goes through a temporary file to the editor.
    void annotationCapture_data() {
        QTest::addColumn<QByteArray>("body"); // empty: no tool there
        QTest::addColumn<bool>("shown");
        const QString png = m_env.root() + QStringLiteral("/area.png");
        picture(QSize(120, 80)).save(png);
        QTest::addRow("area selected") << "cp '" + png.toUtf8() + "' \"$last\"" << true;
        QTest::addRow("escape") << QByteArray("exit 0") << false;
        QTest::addRow("unreadable picture") << QByteArray("echo broken > \"$last\"") << false;
        QTest::addRow("tool missing") << QByteArray() << false;
    }
    void annotationCapture() {
        QFETCH(QByteArray, body);
        QFETCH(bool, shown);
        const QString tool = m_env.root() + QStringLiteral("/notchora-screencapture");
        const QString log = m_env.root() + QStringLiteral("/tool.log");
        QFile::remove(tool);
        QFile::remove(log);
        if (!body.isEmpty())
            test::writeScript(tool, "echo \"$*\" > '" + log.toUtf8() + "'\nfor last; do :; done; " +
                                        body);
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(tool));
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
        const QByteArray args = test::readFile(log).trimmed();
        const QByteArray shot =
            "-i -s -x " + QFile::encodeName(m_env.runtimeDir()) + "/notchora/shot-";
        QVERIFY2(body.isEmpty() || (args.startsWith(shot) && args.endsWith(".png")), args.data());
        QCOMPARE(QDir(m_env.runtimeDir() + QStringLiteral("/notchora")).entryList(QDir::Files),
                 QStringList());
    }
    // Every window width the size rule gives, in the face asked for and the wider fallback.
    void toolbarShowsItsLabels_data() {
        QTest::addColumn<QString>("font");
        QTest::addColumn<double>("width");
        QTest::addColumn<bool>("labels");
        for (const char* font : {"Inter", "DejaVu Sans"}) {
            const auto row = [&](const char* name, QSizeF image, QSizeF frame) {
                QTest::addRow("%s, %s", font, name)
                    << font << AnnotationWindowController::windowSize(image, frame).width() << true;
            };
            row("tiny capture", {100, 50}, {1440, 875});
            row("just over the minimum", {600, 300}, {1440, 875});
            row("2x laptop capture", {1512, 982}, {1440, 875});
            row("ultrawide on full HD", {5120, 1440}, {1920, 1080});
            row("large capture on 4K", {3000, 1500}, {3840, 2160});
            QTest::addRow("%s, narrower than any editor", font) << font << 480.0 << false;
        }
    }
    // Each label painted in its button, clear of the rest; with no room, the symbol alone.
    void toolbarShowsItsLabels() {
        QFETCH(QString, font);
        QFETCH(double, width);
        QFETCH(bool, labels);
        if (!QFontDatabase::families().contains(font))
            QSKIP("font not installed");
        const QFont previous = QGuiApplication::font();
        QGuiApplication::setFont(QFont(font));
        auto restore = qScopeGuard([&] { QGuiApplication::setFont(previous); });
        ManualClock clock;
        AnnotationWindowController controller(clock);
        QVERIFY(controller.show(writePicture(QSize(200, 100), 96)));
        QQuickWindow* window = controller.window();
        window->setMinimumWidth(0);
        window->resize(qRound(width), window->height());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTRY_COMPARE(window->width(), qRound(width));
        const QImage frame = window->grabWindow();
        const double ratio = frame.width() / double(window->width());
        const QRectF toolbar(0, 0, window->width(), 51);
        QList<QRectF> taken;
        for (const char* other : {"Kotak merah", "Tebal", "3 pt", "Batal"})
            for (QQuickItem* item : withText(window->contentItem(), other))
                if (item->isVisible())
                    taken << sceneRect(item);

        for (const char* name : {"Urungkan", "Hapus semua", "Salin", "Simpan"}) {
            const QList<QQuickItem*> found = withText(window->contentItem(), name);
            QCOMPARE(found.size(), 1);
            QQuickItem* label = found.first();
            const QRectF box = sceneRect(label->parentItem()->parentItem());
            QVERIFY2(toolbar.contains(box), name);
            for (const QRectF& other : std::as_const(taken))
                QVERIFY2(!box.intersects(other), name);
            taken << box;
            if (!labels) {
                QVERIFY2(!label->isVisible() && box.width() <= 32, name);
                continue;
            }
            double opacity = 1;
            for (const QQuickItem* item = label; item; item = item->parentItem())
                opacity *= item->opacity();
            QVERIFY2(label->isVisible() && opacity > 0.4, name);
            const QRectF text = sceneRect(label);
            QVERIFY2(box.contains(text) && text.width() >= label->implicitWidth() - 0.5, name);
            // White text, even at half opacity, on the dark or blue buttons.
            int light = 0;
            const QRect pixels =
                QRectF(text.topLeft() * ratio, text.size() * ratio).toAlignedRect();
            for (int y = pixels.top(); y <= pixels.bottom(); ++y)
                for (int x = pixels.left(); x <= pixels.right(); ++x)
                    light += frame.valid(x, y) && qGray(frame.pixel(x, y)) > 130;
            QVERIFY2(light > 10, name);
        }

        // A save's confirmation replaces the thickness controls, clear of the commands.
        QVERIFY(!controller.editor()->save().isEmpty());
        const QList<QQuickItem*> message =
            withText(window->contentItem(), controller.editor()->message());
        QCOMPARE(message.size(), 1);
        window->grabWindow();
        QVERIFY(message.first()->isVisible());
        const QRectF shown = sceneRect(message.first());
        QVERIFY(shown.width() > 0 && toolbar.contains(shown));
        for (const QRectF& button : std::as_const(taken).mid(taken.size() - 4))
            QVERIFY(!shown.intersects(button));
    }
    // Headless no key is ours, so no tile names one; each tile runs its command.
    void shortcutsPage() {
        const QString log = m_env.root() + QStringLiteral("/page-tool.log");
        const QString tool = m_env.root() + QStringLiteral("/page-tool");
        test::writeScript(tool, "echo \"$*\" >> '" + log.toUtf8() + "'");
        qputenv("NOTCHORA_SCREENCAPTURE_TOOL", QFile::encodeName(tool));
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        auto restore = qScopeGuard([&] { qputenv("PATH", oldPath); });
        const QString page = m_env.root() + QStringLiteral("/Page.qml");
        QVERIFY(test::writeFile(page, "import Notchora.Screenshot\n"
                                      "ShortcutsExpandedView { width: 560 }\n"));
        QQuickView view;
        view.engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
        view.setSource(QUrl::fromLocalFile(page));
        QVERIFY2(view.rootObject(), qPrintable(QDebug::toString(view.errors())));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QStringList shown;
        for (QQuickItem* item : itemsUnder(view.rootObject()))
            if (item->property("textFormat").isValid() && item->isVisible())
                shown << item->property("text").toString();
        QVERIFY2(!shown.isEmpty() && !shown.join(' ').contains("Super"),
                 qPrintable(shown.join(' ')));
        for (const char* name : {"tile-screenshot-area", "tile-screenshot-panel"}) {
            auto* tile = view.rootObject()->findChild<QQuickItem*>(QLatin1String(name));
            QVERIFY2(tile, name);
            QFile::remove(log);
            QTest::mouseClick(&view, Qt::LeftButton, {}, tile->mapToScene({40, 40}).toPoint());
            QTRY_VERIFY2(QFile::exists(log), name);
        }
    }
};

QTEST_MAIN(AnnotatorTest)
#include "tst_annotator.moc"
