#include "EditorFixture.h"
#include "ManualClock.h"
#include "TestEnvironment.h"
#include "TestImages.h"
#include "platform/Defaults.h"
#include "screenshot/AnnotationEditor.h"
#include "screenshot/AnnotationWindowController.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

using namespace notchora;
using test::EditorFixture;

// The editor window as it is painted: the canvas and the toolbar.
namespace {

// Text items in the tree under `item` whose text is `text`.
void findTexts(QQuickItem* item, const QString& text, QList<QQuickItem*>& found) {
    if (item->property("text").toString() == text && item->inherits("QQuickText"))
        found.append(item);
    for (QQuickItem* child : item->childItems())
        findTexts(child, text, found);
}

QQuickItem* itemOfType(QQuickItem* item, const char* type) {
    if (item->inherits(type))
        return item;
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* found = itemOfType(child, type))
            return found;
    return nullptr;
}

double effectiveOpacity(const QQuickItem* item) {
    double opacity = 1;
    for (; item; item = item->parentItem())
        opacity *= item->opacity();
    return opacity;
}

QRectF sceneRect(const QQuickItem* item) {
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

// Light pixels (white text, even at half opacity, on the dark or blue buttons) inside `rect` of
// `frame`.
int lightPixels(const QImage& frame, const QRectF& rect, double ratio) {
    const QRect pixels = QRectF(rect.topLeft() * ratio, rect.size() * ratio).toAlignedRect();
    int light = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            light += frame.valid(x, y) && qGray(frame.pixel(x, y)) > 130;
    return light;
}

} // namespace

class AnnotatorWindowTest : public QObject, test::EditorFixture {
    Q_OBJECT
private slots:
    void init() { resetProfile(); }
    void canvasShowsBoxesAndDraft_data();
    void canvasShowsBoxesAndDraft();
    void toolbarShowsItsLabels_data();
    void toolbarShowsItsLabels();
};

void AnnotatorWindowTest::canvasShowsBoxesAndDraft_data() {
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<double>("thickness");
    QTest::addRow("at its own size") << QSize(300, 200) << 3.0;
    QTest::addRow("scaled down to fit") << QSize(2400, 1200) << 14.0;
}

// What the window paints: the picture, the box being dragged, the committed box.
void AnnotatorWindowTest::canvasShowsBoxesAndDraft() {
    QFETCH(QSize, pixels);
    QFETCH(double, thickness);
    Defaults::shared().setDouble(AnnotationEditor::thicknessSetting.name(), thickness);
    ManualClock clock;
    AnnotationWindowController controller(clock);
    QVERIFY(controller.show(writePicture(QStringLiteral("canvas.png"), pixels, 96)));
    QQuickWindow* window = controller.window();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QQuickItem* canvas = itemOfType(window->contentItem(), "notchora::AnnotatedCanvas");
    QVERIFY(canvas);
    AnnotationEditor* editor = controller.editor();
    const double w = pixels.width();
    const double h = pixels.height();
    // The colour at a point of the picture, in its points.
    auto at = [&](const QImage& frame, QPointF point) {
        const double ratio = frame.width() / double(window->width());
        return frame.pixel((canvas->mapToScene(point) * ratio).toPoint());
    };
    const QPointF leftEdge(w * 0.25, h * 0.5);
    const QPointF inside(w * 0.5, h * 0.5);
    const QPointF outside(w * 0.1, h * 0.5);

    QVERIFY(!isRed(at(window->grabWindow(), leftEdge)));
    editor->press(QPointF(w * 0.25, h * 0.25));
    editor->drag(QPointF(w * 0.75, h * 0.75));
    QImage frame = window->grabWindow();
    QVERIFY(isRed(at(frame, leftEdge)));
    QVERIFY(!isRed(at(frame, inside)));
    QVERIFY(!isRed(at(frame, outside)));

    editor->release(QPointF(w * 0.75, h * 0.75));
    QCOMPARE(editor->boxCount(), 1);
    frame = window->grabWindow();
    QVERIFY(isRed(at(frame, leftEdge)));
    QVERIFY(isRed(at(frame, QPointF(w * 0.75, h * 0.75))));
    QVERIFY(!isRed(at(frame, inside)));

    editor->undo();
    QVERIFY(!isRed(at(window->grabWindow(), leftEdge)));
}

void AnnotatorWindowTest::toolbarShowsItsLabels_data() {
    QTest::addColumn<QString>("font");
    QTest::addColumn<double>("width");
    QTest::addColumn<bool>("labels");
    struct Case {
        const char* name;
        QSizeF image;
        std::optional<QSizeF> frame;
    };
    // The narrowest to the widest window the size rule gives.
    const Case cases[] = {
        {"tiny capture", {100, 50}, QSizeF(1440, 875)},
        {"just over the minimum", {600, 300}, QSizeF(1440, 875)},
        {"2x laptop capture", {1512, 982}, QSizeF(1440, 875)},
        {"ultrawide on full HD", {5120, 1440}, QSizeF(1920, 1080)},
        {"large capture on 4K", {3000, 1500}, QSizeF(3840, 2160)},
    };
    // The face the program asks for, and the wider fallback when it is missing.
    for (const char* font : {"Inter", "DejaVu Sans"}) {
        for (const Case& c : cases)
            QTest::addRow("%s, %s", font, c.name)
                << QString::fromLatin1(font)
                << AnnotationWindowController::windowSize(c.image, c.frame).width() << true;
        QTest::addRow("%s, narrower than any editor", font)
            << QString::fromLatin1(font) << 480.0 << false;
    }
}

// Checks what is on screen: each command's label is shown, painted, inside its button and
// clear of everything else in the toolbar; or, where there is no room, its symbol alone.
void AnnotatorWindowTest::toolbarShowsItsLabels() {
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
    QVERIFY(controller.show(writePicture(QStringLiteral("bar.png"), QSize(200, 100), 96)));
    QQuickWindow* window = controller.window();
    window->setMinimumWidth(0);
    window->resize(qRound(width), window->height());
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTRY_COMPARE(window->width(), qRound(width));
    const QImage frame = window->grabWindow();
    const double ratio = frame.width() / double(window->width());
    const QRectF toolbar(0, 0, window->width(), 51);

    QList<QQuickItem*> others;
    for (const char* other : {"Kotak merah", "Tebal", "3 pt", "Batal"})
        findTexts(window->contentItem(), QString::fromUtf8(other), others);
    QList<QRectF> taken;
    for (QQuickItem* item : std::as_const(others))
        if (item->isVisible())
            taken.append(sceneRect(item));

    for (const char* name : {"Urungkan", "Hapus semua", "Salin", "Simpan"}) {
        QList<QQuickItem*> found;
        findTexts(window->contentItem(), QString::fromUtf8(name), found);
        QCOMPARE(found.size(), 1);
        QQuickItem* label = found.first();
        QQuickItem* button = label->parentItem()->parentItem();
        const QRectF box = sceneRect(button);
        QVERIFY2(toolbar.contains(box), name);
        for (const QRectF& other : std::as_const(taken))
            QVERIFY2(!box.intersects(other), name);
        taken.append(box);
        if (!labels) {
            QVERIFY2(!label->isVisible(), name);
            QVERIFY2(box.width() <= 32, name);
            continue;
        }
        QVERIFY2(label->isVisible() && effectiveOpacity(label) > 0.4, name);
        const QRectF text = sceneRect(label);
        QVERIFY2(box.contains(text), name);
        QVERIFY2(text.width() >= label->implicitWidth() - 0.5, name);
        QVERIFY2(lightPixels(frame, text, ratio) > 10, name);
    }

    // The confirmation after a save takes the thickness controls' place, clear of the
    // commands however long the file name.
    const QString written = controller.editor()->save();
    QVERIFY(!written.isEmpty());
    QList<QQuickItem*> message;
    findTexts(window->contentItem(), controller.editor()->message(), message);
    QCOMPARE(message.size(), 1);
    window->grabWindow();
    QVERIFY(message.first()->isVisible());
    const QRectF shown = sceneRect(message.first());
    QVERIFY(shown.width() > 0 && toolbar.contains(shown));
    for (const QRectF& button : std::as_const(taken).mid(taken.size() - 4))
        QVERIFY(!shown.intersects(button));
}

QTEST_MAIN(AnnotatorWindowTest)
#include "tst_annotatorwindow.moc"
