#include "TestEnvironment.h"
#include "TestImages.h"
#include "core/WidgetEnvironment.h"
#include "platform/Defaults.h"

#include <QDir>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_ScreenshotPlugin)

using namespace notchora;

class ShortcutsPageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void layout();
    void tilesRunTheirCommands_data();
    void tilesRunTheirCommands();
    void pressShrinksTheTile();
    void iconStopsWhilePaused();

private:
    QQuickItem* find(const QString& name) const { return find(m_view.rootObject(), name); }
    // Through the visual tree: items made by a Repeater are not QObject children.
    static QQuickItem* find(QQuickItem* item, const QString& name) {
        if (item->objectName() == name)
            return item;
        for (QQuickItem* child : item->childItems())
            if (QQuickItem* found = find(child, name))
                return found;
        return nullptr;
    }
    static void collectTexts(QQuickItem* item, QStringList& texts) {
        if (item->inherits("QQuickText") && item->isVisible())
            texts << item->property("text").toString();
        for (QQuickItem* child : item->childItems())
            collectTexts(child, texts);
    }
    QString log() const { return m_env.root() + QStringLiteral("/tool.log"); }

    test::TestEnvironment m_env;
    QQuickView m_view;
};

void ShortcutsPageTest::initTestCase() {
    m_view.engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
    m_view.setSource(
        QUrl(QStringLiteral("qrc:/qt/qml/Notchora/Screenshot/ShortcutsExpandedView.qml")));
    QVERIFY2(m_view.status() == QQuickView::Ready, qPrintable(m_view.errors().value(0).toString()));
    m_view.rootObject()->setWidth(560);
    m_view.resize(560, 200);
    m_view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_view));
    // The page works on its own: the tray's values have their defaults.
    const auto environment =
        m_view.rootObject()->property("environment").value<WidgetEnvironment>();
    QCOMPARE(environment, WidgetEnvironment());
}

void ShortcutsPageTest::layout() {
    QQuickItem* panel = find(QStringLiteral("tile-screenshot-panel"));
    QQuickItem* area = find(QStringLiteral("tile-screenshot-area"));
    QVERIFY(panel && area);
    QCOMPARE(panel->height(), 78.0);
    QCOMPARE(area->height(), 78.0);
    // Two columns of equal width, 10 points apart, on one row.
    QCOMPARE(panel->width(), 275.0);
    QCOMPARE(area->width(), 275.0);
    QCOMPARE(area->x() - panel->x(), 285.0);
    QCOMPARE(area->y(), panel->y());

    QStringList texts;
    collectTexts(m_view.rootObject(), texts);
    for (const char* text :
         {"PINTASAN", "Screenshot", "Panel opsi: area, jendela, rekam layar", "Area Langsung",
          "Pilih area (kotak merah bila Redframe nyala)"})
        QVERIFY2(texts.contains(QString::fromUtf8(text)), text);
    // Headless, no key is ours: no tile names a shortcut that does nothing.
    QVERIFY(!texts.join(' ').contains("Super"));
}

void ShortcutsPageTest::tilesRunTheirCommands_data() {
    QTest::addColumn<QString>("tile");
    QTest::addColumn<QByteArray>("expected");
    QTest::addRow("area") << "tile-screenshot-area" << QByteArray("-i -s ");
    // No desktop tool on PATH: our own tool in area mode.
    QTest::addRow("panel") << "tile-screenshot-panel" << QByteArray("-i -s ");
}

void ShortcutsPageTest::tilesRunTheirCommands() {
    QFETCH(QString, tile);
    QFETCH(QByteArray, expected);
    QFile::remove(log());
    qputenv("NOTCHORA_SCREENCAPTURE_TOOL",
            QFile::encodeName(test::writeScript(m_env.root() + QStringLiteral("/tool"),
                                                "echo \"$*\" >> '" + log().toUtf8() + "'")));
    Defaults::shared(QStringLiteral("screencapture"))
        .setString(QStringLiteral("location"), m_env.root() + QStringLiteral("/shots"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    QQuickItem* item = find(tile);
    QTest::mouseClick(&m_view, Qt::LeftButton, {}, item->mapToScene(QPointF(40, 40)).toPoint());
    qputenv("PATH", path);
    QTRY_VERIFY(QFile::exists(log()));
    const QByteArray line = test::readFile(log()).trimmed();
    QVERIFY2(line.startsWith(expected + QFile::encodeName(m_env.root()) + "/shots/Screenshot "),
             line.constData());
}

void ShortcutsPageTest::pressShrinksTheTile() {
    QQuickItem* body = find(find(QStringLiteral("tile-screenshot-area")), QStringLiteral("body"));
    QVERIFY(body);
    const QPoint at = body->mapToScene(QPointF(40, 40)).toPoint();
    QTest::mouseMove(&m_view, at);
    QTest::mousePress(&m_view, Qt::LeftButton, {}, at);
    QTRY_COMPARE(body->scale(), 0.97);
    // Released outside: no command, back to full size.
    QFile::remove(log());
    QTest::mouseMove(&m_view, QPoint(5, 195));
    QTest::mouseRelease(&m_view, Qt::LeftButton, {}, QPoint(5, 195));
    QTRY_COMPARE(body->scale(), 1.0);
    QTest::qWait(100);
    QVERIFY(!QFile::exists(log()));
}

void ShortcutsPageTest::iconStopsWhilePaused() {
    QQuickItem* icon = find(QStringLiteral("screenshotIcon"));
    QVERIFY(icon);
    QObject* timeline =
        icon->findChild<QObject*>(QStringLiteral("timeline"), Qt::FindDirectChildrenOnly);
    QVERIFY(timeline);
    QCOMPARE(icon->width(), 62.0);
    QCOMPARE(icon->height(), 48.0);
    QCOMPARE(timeline->property("interval").toInt(), 33);
    const double start = icon->property("time").toDouble();
    QTRY_VERIFY(icon->property("time").toDouble() != start);

    WidgetEnvironment paused;
    paused.animationsPaused = true;
    m_view.rootObject()->setProperty("environment", QVariant::fromValue(paused));
    QVERIFY(!timeline->property("running").toBool());
    const double frozen = icon->property("time").toDouble();
    QTest::qWait(120);
    QCOMPARE(icon->property("time").toDouble(), frozen);

    m_view.rootObject()->setProperty("environment", QVariant::fromValue(WidgetEnvironment()));
    QVERIFY(timeline->property("running").toBool());
    QTRY_VERIFY(icon->property("time").toDouble() != frozen);
    QVERIFY(icon->property("time").toDouble() < 3.2);
}

QTEST_MAIN(ShortcutsPageTest)
#include "tst_shortcutspage.moc"
