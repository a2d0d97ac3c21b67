#include "TestEnvironment.h"
#include "characters/CharacterCanvas.h"
#include "characters/CharacterDirector.h"
#include "characters/CharacterLayout.h"
#include "core/WidgetEnvironment.h"
#include "platform/Defaults.h"

#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QQuickView>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_NotchPlugin)
Q_IMPORT_QML_PLUGIN(Notchora_CharactersPlugin)

using namespace notchora;

// The pages run on the shared director, whose choice lives in the test's own profile.
class CharacterPagesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }
    void cleanup() {
        m_view.reset();
        m_engine.reset();
        CharacterDirector::shared().setRandom(false);
        CharacterDirector::shared().select(CharacterKind::Monkey);
    }
    void pickerSwitchesKindsAndRandomMode() {
        auto& director = CharacterDirector::shared();
        QVERIFY(load("CharacterExpandedView.qml", {}, QSize(560, 120)));
        QQuickItem* title = find("characterTitle");
        QQuickItem* subtitle = find("characterSubtitle");
        QCOMPARE(title->property("text").toString(), QStringLiteral("Monyet"));
        QVERIFY(!subtitle->isVisible());
        QCOMPARE(find("characterCards")->childItems().size(), 7 + 1 + 1); // cards and repeater

        click(find("card-random"));
        QVERIFY(director.isRandom());
        QCOMPARE(title->property("text").toString(), QStringLiteral("Mode Acak"));
        QVERIFY(subtitle->isVisible());
        QCOMPARE(subtitle->property("text").toString(), QStringLiteral("· Monyet"));
        QVERIFY(find("card-random")->property("selected").toBool());
        QVERIFY(!find("card-monkey")->property("selected").toBool());

        // Picking a kind ends random mode; with nothing in the notch it switches at once.
        click(find("card-astronaut"));
        QVERIFY(!director.isRandom());
        QCOMPARE(director.current(), CharacterKind::Astronaut);
        QCOMPARE(title->property("text").toString(), QStringLiteral("Astronot"));
        QVERIFY(find("card-astronaut")->property("selected").toBool());
        QVERIFY(!find("card-random")->property("selected").toBool());
        QCOMPARE(Defaults::shared().stringValue(CharacterDirector::selectedKey),
                 std::optional<QString>(QStringLiteral("astronaut")));
        QCOMPARE(find("card-astronaut")->property("help").toString(), QStringLiteral("Astronot"));
        QCOMPARE(find("card-random")->property("help").toString(),
                 QStringLiteral("Acak (ganti tiap 2–5 menit)"));
    }
    // Where each kind goes is the layout's; here the view follows the environment and the kind.
    void collapsedCharacterSitsInTheNotch() {
        WidgetEnvironment notch; // a 190 × 32 notch, the slot 40 points from its edge
        notch.notchWidth = 190;
        notch.notchHeight = 32;
        notch.slotToNotchEdge = 40;
        QVERIFY(load("CharacterCollapsedView.qml", {{"environment", QVariant::fromValue(notch)}},
                     QSize(64, 110)));
        QQuickItem* placement = find("characterPlacement");
        CharacterDirector::shared().setActive(false); // switch without the tuck
        for (CharacterKind kind : {CharacterKind::Monkey, CharacterKind::Cat}) {
            CharacterDirector::shared().select(kind);
            const CharacterLayout layout(kind, 190, 32, 40);
            QTRY_COMPARE(placement->position(), layout.placement());
            auto* canvas = qobject_cast<CharacterCanvas*>(find("characterCanvas"));
            QVERIFY(canvas);
            QCOMPARE(canvas->kind(), kind);
            QCOMPARE(canvas->pacer()->drawingScale(), layout.scale());
        }
    }
    void collapsedCharacterOnlyAnimatesWhileShown() {
        auto& director = CharacterDirector::shared();
        QQuickItem* root = load("CharacterCollapsedView.qml", {}, QSize(64, 110));
        QVERIFY(root);
        auto* canvas = qobject_cast<CharacterCanvas*>(find("characterCanvas"));
        QVERIFY(canvas);
        QVERIFY(canvas->isAnimating());
        QVERIFY(director.isActive());

        root->setVisible(false); // the tray opened
        QVERIFY(!canvas->isAnimating());
        QVERIFY(!director.isActive());
        root->setVisible(true);
        QVERIFY(canvas->isAnimating());
        QVERIFY(director.isActive());

        WidgetEnvironment paused;
        paused.animationsPaused = true;
        root->setProperty("environment", QVariant::fromValue(paused));
        QVERIFY(!canvas->isAnimating());
        root->setProperty("environment", QVariant::fromValue(WidgetEnvironment()));
        QVERIFY(canvas->isAnimating());

        m_view->hide(); // the widget hidden from the tray menu
        QVERIFY(!canvas->isAnimating());
        QVERIFY(!director.isActive());
    }

private:
    QQuickItem* load(const char* file, const QVariantMap& properties, QSize size) {
        m_engine = std::make_unique<QQmlEngine>();
        m_engine->addImportPath("qrc:/qt/qml");
        m_view = std::make_unique<QQuickView>(m_engine.get(), nullptr);
        m_view->setInitialProperties(properties);
        m_view->resize(size);
        m_view->setColor(Qt::black);
        m_view->setSource(QUrl(QStringLiteral("qrc:/qt/qml/Notchora/Characters/") + file));
        if (!m_view->errors().isEmpty())
            qWarning() << m_view->errors();
        m_view->show();
        if (!QTest::qWaitForWindowExposed(m_view.get()))
            return nullptr;
        return m_view->rootObject();
    }
    // Delegates are not QObject children of their view, so this walks the item tree.
    QQuickItem* find(const char* name) const { return find(m_view->rootObject(), name); }
    static QQuickItem* find(QQuickItem* item, const char* name) {
        if (item->objectName() == QLatin1String(name))
            return item;
        for (QQuickItem* child : item->childItems())
            if (QQuickItem* found = find(child, name))
                return found;
        return nullptr;
    }
    void click(QQuickItem* item) {
        QTest::mouseClick(
            m_view.get(), Qt::LeftButton, {},
            item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
    }

    test::TestEnvironment m_env;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickView> m_view;
};

QTEST_MAIN(CharacterPagesTest)
#include "tst_characterpages.moc"
