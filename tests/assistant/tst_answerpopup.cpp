#include "TestEnvironment.h"
#include "answer/AISettings.h"
#include "assistant/AnswerPanel.h"
#include "assistant/AnswerPopupController.h"
#include "core/CaptureVisibility.h"
#include "platform/Defaults.h"
#include "platform/HeadlessWindowSystem.h"
#include "platform/Screens.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QSignalSpy>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AnswerPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_AssistantPlugin)

using namespace notchora;
using Origin = std::optional<QPointF>;
using Position = AIPopupPosition;
Q_DECLARE_METATYPE(Origin)
Q_DECLARE_METATYPE(notchora::AIPopupPosition)

namespace {
QPointF placed(Position position) {
    const auto screen = Screens::shared().mainScreen();
    return AnswerPopupController::placement(position, {}, screen->visibleFrame, {screen->frame});
}

// A point on the card's header, `fromRight` points left of its right edge (0: the middle).
QPoint header(int fromRight = 0) {
    const int m = AnswerPanel::shadowMargin;
    return QPoint(fromRight ? m + 360 - fromRight : m + 170, m + 20);
}
} // namespace

class AnswerPopupTest : public QObject {
    Q_OBJECT

    struct World {
        test::TestEnvironment env;
        Defaults defaults{env.configHome() + "/notchora/defaults.json"};
        QQmlEngine engine;
        HeadlessWindowSystem windows;
        AnswerPopupController popup{{windows, defaults, &engine}};
    };
    std::unique_ptr<World> m_world;

    Defaults& defaults() { return m_world->defaults; }
    AnswerPopupController& popup() { return m_world->popup; }
    AnswerPanel& shown() {
        popup().show();
        return *popup().panel();
    }

private slots:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }
    void init() { m_world = std::make_unique<World>(); }
    void cleanup() {
        CaptureVisibility::shared().setAICaptureInProgress(false);
        m_world.reset();
    }
    void placement_data() {
        QTest::addColumn<Position>("position");
        QTest::addColumn<Origin>("free");
        QTest::addColumn<QPointF>("origin");
        // A 1440 x 875 work area on a 1440 x 900 screen, a 1920 x 1080 one to its right.
        const QPointF right(1064, 519);
        const auto freeAt = [&](const char* tag, QPointF at, QPointF origin) {
            QTest::newRow(tag) << Position::Free << Origin(at) << origin;
        };
        QTest::newRow("right") << Position::Right << Origin() << right;
        QTest::newRow("left") << Position::Left << Origin() << QPointF(16, 519);
        QTest::newRow("right ignores a free origin") << Position::Right << Origin({2, 3}) << right;
        QTest::newRow("free without an origin goes right") << Position::Free << Origin() << right;
        freeAt("free, not fitted into the work area", {1200.5, -250}, {1200.5, -250});
        freeAt("free origin off every screen goes right", {4000, 300}, right);
        freeAt("free origin with only a sliver on a screen goes right", {3350, 300}, right);
        freeAt("free origin with the card's top above the screen goes right", {200, 890}, right);
        freeAt("free origin on the second screen", {1500, 100}, {1500, 100});
    }
    void placement() {
        QFETCH(Position, position);
        QFETCH(Origin, free);
        QFETCH(QPointF, origin);
        const QList<QRectF> screens{QRectF(0, 0, 1440, 900), QRectF(1440, 0, 1920, 1080)};
        QCOMPARE(AnswerPopupController::placement(position, free, QRectF(0, 0, 1440, 875), screens),
                 origin);
    }
    void showPlacesAndFadesIn() {
        popup().applyPosition(); // nothing to place yet
        QVERIFY(!popup().panel());
        AnswerPanel& panel = shown();
        QVERIFY2(panel.errors().isEmpty(), qPrintable(panel.errors().value(0).toString()));
        QVERIFY(panel.isVisible() && panel.alpha() < 0.5);
        // The shadow round the card lets clicks through.
        const QRegion input = m_world->windows.inputRegion(&panel).value_or(QRegion());
        const int m = AnswerPanel::shadowMargin;
        QVERIFY(input.contains(QPoint(m + 180, m + 170)) && !input.contains(QPoint(4, 4)));
        // Showing a visible popup fades from where it is: once in, it does not blink.
        panel.setAlpha(1);
        popup().show();
        QCOMPARE(panel.alpha(), 1.0);
    }
    void unusableFreePlaceIsKept() {
        defaults().write(AISettings::popupPositionSetting, QStringLiteral("free"));
        defaults().write(AISettings::popupFreeXSetting, -5000.0);
        defaults().write(AISettings::popupFreeYSetting, 80.0);
        popup().show();
        QCOMPARE(popup().currentOrigin(), placed(Position::Right));
        QCOMPARE(AISettings::freeOrigin(defaults()), Origin({-5000, 80}));
        QCOMPARE(popup().position(), "free");
    }
    void draggingTheBackground_data() {
        QTest::addColumn<QPoint>("by");
        QTest::newRow("a click without a move") << QPoint(0, 0);
        QTest::newRow("one pixel up") << QPoint(0, -1);
        QTest::newRow("across the screen") << QPoint(-300, 150);
    }
    void draggingTheBackground() {
        QFETCH(QPoint, by);
        AnswerPanel& panel = shown();
        const QPointF before = popup().currentOrigin();
        const QPoint end = panel.mapToGlobal(header()) + by; // the panel moves with the drag
        QTest::mousePress(&panel, Qt::LeftButton, {}, header());
        QVERIFY(panel.isDragging());
        QTest::mouseMove(&panel, header() + by / 2);
        QTest::mouseMove(&panel, panel.mapFromGlobal(end));
        QTest::mouseRelease(&panel, Qt::LeftButton, {}, panel.mapFromGlobal(end));
        QVERIFY(!panel.isDragging());
        // y grows upwards in stored origins.
        const QPointF after = before + QPointF(by.x(), -by.y());
        const bool stored = !by.isNull();
        QCOMPARE(popup().currentOrigin(), after);
        QCOMPARE(AISettings::popupPosition(defaults()), stored ? Position::Free : Position::Right);
        QCOMPARE(AISettings::freeOrigin(defaults()), stored ? Origin(after) : Origin());
        // Next time it comes back where the user left it.
        popup().close();
        popup().show();
        QCOMPARE(popup().currentOrigin(), after);
    }
    void pickingAPositionMovesAtOnce() {
        popup().show();
        QSignalSpy changes(&popup(), &AnswerPopupController::positionChanged);
        popup().setPosition("left");
        QCOMPARE(popup().currentOrigin(), placed(Position::Left));
        QCOMPARE(defaults().read(AISettings::popupPositionSetting), "left");
        QCOMPARE(changes.count(), 1);
    }
    void keyboardOnlyForATextField() {
        AnswerPanel& panel = shown();
        QQmlComponent component(&m_world->engine);
        component.setData("import QtQuick\nTextInput { x: 40; y: 300; width: 100; height: 20 }",
                          QUrl());
        std::unique_ptr<QQuickItem> field(qobject_cast<QQuickItem*>(component.create()));
        QVERIFY2(field, qPrintable(component.errorString()));
        field->setParentItem(panel.contentItem());
        const QPoint inField(60, 310);
        const WId editor = 4242; // another program's window
        m_world->windows.setFocusedWindow(editor);
        // Clicks on the card leave the keyboard where it was; the field takes it, and closing
        // gives it back.
        QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(200, 40));
        QCOMPARE(m_world->windows.focusedWindow(), editor);
        QTest::mouseClick(&panel, Qt::LeftButton, {}, inField);
        QVERIFY(field->hasActiveFocus() && m_world->windows.focusedWindow() == panel.winId());
        popup().close();
        QVERIFY(!field->hasActiveFocus() && m_world->windows.focusedWindow() == editor);
        // The user moved on to a third window while typing: hiding leaves it there.
        popup().show();
        QTest::mouseClick(&panel, Qt::LeftButton, {}, inField);
        m_world->windows.setFocusedWindow(77);
        popup().close();
        QCOMPARE(m_world->windows.focusedWindow(), WId(77));
    }
    void ownCaptureHidesThePopup() {
        CaptureVisibility& visibility = CaptureVisibility::shared();
        // Nothing to hide before the first show.
        visibility.setAICaptureInProgress(true);
        visibility.setAICaptureInProgress(false);
        QVERIFY(!popup().panel());
        AnswerPanel& panel = shown();
        visibility.setAICaptureInProgress(true);
        // Still shown as far as the user is concerned.
        QVERIFY(!panel.isVisible() && popup().isVisible());
        visibility.setAICaptureInProgress(false);
        QVERIFY(panel.isVisible() && panel.alpha() == 1.0);
        // Shown while a capture runs: it appears once the capture is done.
        popup().close();
        visibility.setAICaptureInProgress(true);
        popup().show();
        QVERIFY(!panel.isVisible());
        visibility.setAICaptureInProgress(false);
        QVERIFY(panel.isVisible());
        // Closed during a capture: it stays closed.
        visibility.setAICaptureInProgress(true);
        popup().close();
        visibility.setAICaptureInProgress(false);
        QVERIFY(!panel.isVisible());
    }
    // Closing is what cancels a running question, so the button must say so.
    void headerButtonsCopyAndClose() {
        AnswerPanel& panel = shown();
        panel.rootObject()->setProperty("lastAnswer", "Jawabannya **42**.");
        const QPoint copy = header(24 + 2 * 32); // close, menu, copy
        QTest::mouseClick(&panel, Qt::LeftButton, {}, copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), "Jawabannya **42**.");
        QSignalSpy closed(&popup(), &AnswerPopupController::closed);
        QTest::mouseClick(&panel, Qt::LeftButton, {}, header(24));
        QCOMPARE(closed.count(), 1);
    }
};

QTEST_MAIN(AnswerPopupTest)
#include "tst_answerpopup.moc"
