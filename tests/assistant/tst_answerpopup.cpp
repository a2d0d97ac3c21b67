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
Q_DECLARE_METATYPE(Origin)
Q_DECLARE_METATYPE(notchora::AIPopupPosition)

class AnswerPopupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void placement_data();
    void placement();
    void ownMoves_data();
    void ownMoves();
    void showPlacesAndFadesIn();
    void storedSettingsPlaceThePopup_data();
    void storedSettingsPlaceThePopup();
    void draggingTheBackground_data();
    void draggingTheBackground();
    void pickingAPositionMovesAtOnce();
    void closeHidesAndAnnounces();
    void keyboardOnlyForATextField();
    void ownCaptureHidesThePopup();
    void copyButtonCopiesTheLastAnswer();

private:
    AnswerPopupController& controller();
    QPointF placed(AIPopupPosition position, Origin free = {}) const;
    QQuickItem* find(const QString& objectName) const;

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<AnswerPopupController> m_controller;
    HeadlessWindowSystem m_windows;
};

void AnswerPopupTest::initTestCase() {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

void AnswerPopupTest::init() {
    m_env = std::make_unique<test::TestEnvironment>();
    m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
    m_engine = std::make_unique<QQmlEngine>();
}

void AnswerPopupTest::cleanup() {
    CaptureVisibility::shared().setAICaptureInProgress(false);
    m_controller.reset();
    m_engine.reset();
    m_defaults.reset();
    m_env.reset();
}

AnswerPopupController& AnswerPopupTest::controller() {
    if (!m_controller)
        m_controller = std::make_unique<AnswerPopupController>(
            AnswerPopupController::Services{m_windows, *m_defaults, m_engine.get()});
    return *m_controller;
}

// Where the controller puts the card on this run's screen.
QPointF AnswerPopupTest::placed(AIPopupPosition position, Origin free) const {
    const auto screen = Screens::shared().mainScreen();
    return AnswerPopupController::placement(position, free, screen->visibleFrame, {screen->frame});
}

void AnswerPopupTest::placement_data() {
    QTest::addColumn<AIPopupPosition>("position");
    QTest::addColumn<Origin>("free");
    QTest::addColumn<QPointF>("origin");

    // A 1440 x 875 work area at (0, 0) on a 1440 x 900 screen.
    QTest::newRow("right") << AIPopupPosition::Right << Origin() << QPointF(1064, 519);
    QTest::newRow("left") << AIPopupPosition::Left << Origin() << QPointF(16, 519);
    QTest::newRow("right ignores a free origin")
        << AIPopupPosition::Right << Origin(QPointF(200, 300)) << QPointF(1064, 519);
    QTest::newRow("free") << AIPopupPosition::Free << Origin(QPointF(200, 300))
                          << QPointF(200, 300);
    QTest::newRow("free, not fitted into the work area")
        << AIPopupPosition::Free << Origin(QPointF(1200.5, -250)) << QPointF(1200.5, -250);
    QTest::newRow("free without an origin goes right")
        << AIPopupPosition::Free << Origin() << QPointF(1064, 519);
    QTest::newRow("free origin off every screen goes right")
        << AIPopupPosition::Free << Origin(QPointF(4000, 300)) << QPointF(1064, 519);
    QTest::newRow("free origin with only a sliver on a screen goes right")
        << AIPopupPosition::Free << Origin(QPointF(3350, 300)) << QPointF(1064, 519);
    QTest::newRow("free origin with the card's top above the screen goes right")
        << AIPopupPosition::Free << Origin(QPointF(200, 890)) << QPointF(1064, 519);
    QTest::newRow("free origin on the second screen")
        << AIPopupPosition::Free << Origin(QPointF(1500, 100)) << QPointF(1500, 100);
}

void AnswerPopupTest::placement() {
    QFETCH(AIPopupPosition, position);
    QFETCH(Origin, free);
    QFETCH(QPointF, origin);
    const QRectF area(0, 0, 1440, 875);
    const QList<QRectF> screens{QRectF(0, 0, 1440, 900), QRectF(1440, 0, 1920, 1080)};
    QCOMPARE(AnswerPopupController::placement(position, free, area, screens), origin);
}

void AnswerPopupTest::ownMoves_data() {
    QTest::addColumn<Origin>("programmatic");
    QTest::addColumn<QPointF>("origin");
    QTest::addColumn<bool>("own");

    const Origin at(QPointF(1064, 519));
    QTest::newRow("same place") << at << QPointF(1064, 519) << true;
    QTest::newRow("half a point each way") << at << QPointF(1064.5, 518.5) << true;
    QTest::newRow("just under a point") << at << QPointF(1063.01, 519.99) << true;
    QTest::newRow("a point to the right") << at << QPointF(1065, 519) << false;
    QTest::newRow("a point down") << at << QPointF(1064, 518) << false;
    QTest::newRow("never placed by us") << Origin() << QPointF(1064, 519) << false;
}

void AnswerPopupTest::ownMoves() {
    QFETCH(Origin, programmatic);
    QFETCH(QPointF, origin);
    QFETCH(bool, own);
    QCOMPARE(AnswerPopupController::isOwnMove(programmatic, origin), own);
}

void AnswerPopupTest::showPlacesAndFadesIn() {
    AnswerPopupController& popup = controller();
    QVERIFY(!popup.panel());
    popup.applyPosition(); // nothing to place yet
    QVERIFY(!popup.panel());

    popup.show();
    AnswerPanel* panel = popup.panel();
    QVERIFY(panel);
    QVERIFY2(panel->errors().isEmpty(), qPrintable(panel->errors().value(0).toString()));
    QVERIFY(panel->rootObject());
    QVERIFY(panel->isVisible());
    QVERIFY(panel->flags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(m_windows.isOnAllDesktops(panel));
    QCOMPARE(panel->cardGeometry().size(), QSize(360, 340));
    QCOMPARE(popup.currentOrigin(), placed(AIPopupPosition::Right));
    QVERIFY(popup.isFading());
    QVERIFY(panel->alpha() < 0.5);
    // The shadow round the card lets clicks through.
    const QRegion input = m_windows.inputRegion(panel).value_or(QRegion());
    QVERIFY(
        input.contains(QPoint(AnswerPanel::shadowMargin + 180, AnswerPanel::shadowMargin + 170)));
    QVERIFY(!input.contains(QPoint(4, 4)));

    // Showing a visible popup fades from where it is: once in, it does not blink.
    panel->setAlpha(1);
    popup.show();
    QCOMPARE(panel->alpha(), 1.0);
    QVERIFY(panel->isVisible());
}

void AnswerPopupTest::storedSettingsPlaceThePopup_data() {
    QTest::addColumn<QString>("position");
    QTest::addColumn<QVariantList>("free"); // x, y; a null stays unstored
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing stored") << QString() << QVariantList() << "right";
    QTest::newRow("left") << "left" << QVariantList() << "left";
    QTest::newRow("free") << "free" << QVariantList{120.0, 80.0} << "free";
    QTest::newRow("free with only x stored")
        << "free" << QVariantList{120.0, QVariant()} << "right";
    QTest::newRow("free with only y stored") << "free" << QVariantList{QVariant(), 80.0} << "right";
    QTest::newRow("free origin off every screen")
        << "free" << QVariantList{-5000.0, 80.0} << "right";
}

void AnswerPopupTest::storedSettingsPlaceThePopup() {
    QFETCH(QString, position);
    QFETCH(QVariantList, free);
    QFETCH(QString, expected);
    if (!position.isEmpty())
        m_defaults->write(AISettings::popupPositionSetting, position);
    if (free.value(0).isValid())
        m_defaults->write(AISettings::popupFreeXSetting, free[0].toDouble());
    if (free.value(1).isValid())
        m_defaults->write(AISettings::popupFreeYSetting, free[1].toDouble());

    controller().show();
    const QPointF want = expected == "free"   ? QPointF(free[0].toDouble(), free[1].toDouble())
                         : expected == "left" ? placed(AIPopupPosition::Left)
                                              : placed(AIPopupPosition::Right);
    QCOMPARE(controller().currentOrigin(), want);
    // Showing elsewhere for now never rewrites what the user stored.
    QCOMPARE(m_defaults->contains("ai.popupFreeX"), free.value(0).isValid());
    QCOMPARE(m_defaults->contains("ai.popupFreeY"), free.value(1).isValid());
    if (!position.isEmpty())
        QCOMPARE(m_defaults->read(AISettings::popupPositionSetting), position);
}

void AnswerPopupTest::draggingTheBackground_data() {
    QTest::addColumn<QPoint>("by");
    QTest::addColumn<bool>("stored");

    QTest::newRow("a click without a move") << QPoint(0, 0) << false;
    QTest::newRow("one pixel right") << QPoint(1, 0) << true;
    QTest::newRow("one pixel up") << QPoint(0, -1) << true;
    QTest::newRow("across the screen") << QPoint(-300, 150) << true;
}

void AnswerPopupTest::draggingTheBackground() {
    QFETCH(QPoint, by);
    QFETCH(bool, stored);
    AnswerPopupController& popup = controller();
    popup.show();
    AnswerPanel& panel = *popup.panel();
    const QPointF before = popup.currentOrigin();

    // The header's empty middle is background.
    const QPoint grab(AnswerPanel::shadowMargin + 170, AnswerPanel::shadowMargin + 20);
    const QPoint start = panel.mapToGlobal(grab);
    QTest::mousePress(&panel, Qt::LeftButton, {}, grab);
    QVERIFY(panel.isDragging());
    QTest::mouseMove(&panel, grab + by / 2);
    QTest::mouseMove(&panel, panel.mapFromGlobal(start + by));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, panel.mapFromGlobal(start + by));
    QVERIFY(!panel.isDragging());

    // y grows upwards in stored origins.
    const QPointF after = before + QPointF(by.x(), -by.y());
    QCOMPARE(popup.currentOrigin(), after);
    QCOMPARE(AISettings::popupPosition(*m_defaults),
             stored ? AIPopupPosition::Free : AIPopupPosition::Right);
    QCOMPARE(AISettings::freeOrigin(*m_defaults), stored ? Origin(after) : Origin());

    // Next time it comes back where the user left it.
    popup.close();
    popup.show();
    QCOMPARE(popup.currentOrigin(), after);
}

void AnswerPopupTest::pickingAPositionMovesAtOnce() {
    AnswerPopupController& popup = controller();
    popup.show();
    QSignalSpy changes(&popup, &AnswerPopupController::positionChanged);
    popup.setPosition("left");
    QCOMPARE(popup.currentOrigin(), placed(AIPopupPosition::Left));
    QCOMPARE(m_defaults->read(AISettings::popupPositionSetting), "left");
    QCOMPARE(changes.count(), 1);
    popup.setPosition("diagonal");
    QCOMPARE(popup.position(), "left");
    // Another process (the settings) changing it is announced too.
    m_defaults->write(AISettings::popupPositionSetting, QStringLiteral("right"));
    QCOMPARE(changes.count(), 2);
    QCOMPARE(popup.position(), "right");
}

void AnswerPopupTest::closeHidesAndAnnounces() {
    AnswerPopupController& popup = controller();
    popup.show();
    QSignalSpy closed(&popup, &AnswerPopupController::closed);
    AnswerPanel& panel = *popup.panel();
    // The close button is the header's last one.
    const QPoint button(AnswerPanel::shadowMargin + 360 - 12 - 12, AnswerPanel::shadowMargin + 20);
    QTest::mouseClick(&panel, Qt::LeftButton, {}, button);
    QCOMPARE(closed.count(), 1);
    QVERIFY(!panel.isVisible());
    QVERIFY(!popup.isVisible());
    // The clicks on it were no drag.
    QVERIFY(!m_defaults->contains("ai.popupPosition"));

    popup.show();
    QVERIFY(panel.isVisible());
    QVERIFY(panel.alpha() < 0.5);
}

void AnswerPopupTest::keyboardOnlyForATextField() {
    AnswerPopupController& popup = controller();
    popup.show();
    AnswerPanel& panel = *popup.panel();
    QQmlComponent component(m_engine.get());
    component.setData("import QtQuick\nTextInput { x: 40; y: 300; width: 100; height: 20 }",
                      QUrl());
    std::unique_ptr<QQuickItem> field(qobject_cast<QQuickItem*>(component.create()));
    QVERIFY2(field, qPrintable(component.errorString()));
    field->setParentItem(panel.contentItem());
    const WId editor = 4242; // another program's window
    m_windows.setFocusedWindow(editor);

    // Clicks on the card leave the keyboard where it was.
    QVERIFY(panel.flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(200, 40));
    QCOMPARE(m_windows.focusedWindow(), editor);

    // Clicking the field takes it; closing gives it back.
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(60, 310));
    QVERIFY(field->hasActiveFocus());
    QCOMPARE(m_windows.focusedWindow(), panel.winId());
    QVERIFY(!panel.flags().testFlag(Qt::WindowDoesNotAcceptFocus));
    popup.close();
    QCOMPARE(m_windows.focusedWindow(), editor);
    QVERIFY(!field->hasActiveFocus());

    // Showing again does not take it back on its own.
    popup.show();
    QCOMPARE(m_windows.focusedWindow(), editor);
    QVERIFY(panel.flags().testFlag(Qt::WindowDoesNotAcceptFocus));

    // The user moved on to a third window while typing: hiding leaves it there.
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(60, 310));
    QCOMPARE(m_windows.focusedWindow(), panel.winId());
    m_windows.setFocusedWindow(77);
    popup.close();
    QCOMPARE(m_windows.focusedWindow(), WId(77));
}

void AnswerPopupTest::ownCaptureHidesThePopup() {
    AnswerPopupController& popup = controller();
    CaptureVisibility& visibility = CaptureVisibility::shared();
    // Nothing to hide before the first show.
    visibility.setAICaptureInProgress(true);
    visibility.setAICaptureInProgress(false);
    QVERIFY(!popup.panel());

    popup.show();
    AnswerPanel& panel = *popup.panel();
    visibility.setAICaptureInProgress(true);
    QVERIFY(!panel.isVisible());
    QVERIFY(popup.isVisible()); // still shown as far as the user is concerned
    visibility.setAICaptureInProgress(false);
    QVERIFY(panel.isVisible());
    QCOMPARE(panel.alpha(), 1.0);

    // Shown while a capture runs: it appears once the capture is done.
    popup.close();
    visibility.setAICaptureInProgress(true);
    popup.show();
    QVERIFY(!panel.isVisible());
    visibility.setAICaptureInProgress(false);
    QVERIFY(panel.isVisible());

    // Closed during a capture: it stays closed.
    visibility.setAICaptureInProgress(true);
    popup.close();
    visibility.setAICaptureInProgress(false);
    QVERIFY(!panel.isVisible());
}

void AnswerPopupTest::copyButtonCopiesTheLastAnswer() {
    AnswerPopupController& popup = controller();
    popup.show();
    AnswerPanel& panel = *popup.panel();
    QGuiApplication::clipboard()->setText("older");
    panel.rootObject()->setProperty("lastAnswer", "Jawabannya **42**.");
    // Copy is third from the right: close, menu, copy.
    const QPoint copy(AnswerPanel::shadowMargin + 360 - 12 - 12 - 2 * 32,
                      AnswerPanel::shadowMargin + 20);
    QTest::mouseClick(&panel, Qt::LeftButton, {}, copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), "Jawabannya **42**.");
    panel.rootObject()->setProperty("lastAnswer", QString());
    QTest::mouseClick(&panel, Qt::LeftButton, {}, copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
}

QTEST_MAIN(AnswerPopupTest)
#include "tst_answerpopup.moc"
