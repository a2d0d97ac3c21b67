#include "TestEnvironment.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetEnvironment.h"
#include "core/WidgetStore.h"
#include "notch/NotchViewModel.h"
#include "platform/Defaults.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlEngineExtensionPlugin>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>

Q_IMPORT_QML_PLUGIN(Notchora_CorePlugin)
Q_IMPORT_QML_PLUGIN(Notchora_NotchPlugin)

using namespace notchora;

namespace {

const QByteArray pageSource = R"(import QtQuick
import Notchora.Core
Item {
    property widgetEnvironment environment
}
)";

NotchGeometry laptop() {
    ScreenInfo screen;
    screen.frame = QRectF(0, 0, 1440, 900);
    screen.visibleFrame = QRectF(0, 0, 1440, 870);
    return NotchGeometry(screen);
}

} // namespace

class NotchRootViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void pagerTurnsWithoutWrapping_data();
    void pagerTurnsWithoutWrapping();
    void storeSelectionScrollsThePager();
    void selectionScrollsSmoothly_data();
    void selectionScrollsSmoothly();
    void oneSwipeTurnsOnePage_data();
    void oneSwipeTurnsOnePage();
    void springReversalKeepsItsSpeed();
    void pageDotsNeedTwoModules();
    void pagesReceiveTheEnvironment();
    void collapsedSlotFollowsTheStore();
    void traySpringsOpenAndShut();
    void hitBumpsTheNotch();

private:
    void enable(const QStringList& ids);
    void load();
    QQuickItem* find(const char* name) const;
    QQuickItem* page(int index) const;

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<ModuleRegistry> m_registry;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<WidgetStore> m_store;
    std::unique_ptr<NotchViewModel> m_model;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickView> m_view;
};

void NotchRootViewTest::initTestCase() {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

void NotchRootViewTest::init() {
    m_env = std::make_unique<test::TestEnvironment>();
    const QString pagePath = m_env->root() + "/Page.qml";
    QVERIFY(test::writeFile(pagePath, pageSource));
    const QUrl pageUrl = QUrl::fromLocalFile(pagePath);
    QList<WidgetModule> modules;
    for (const auto& m : ModuleRegistry::defaultModules())
        modules << WidgetModule(m.id(), m.name(), m.iconSystemName(), true, m.hasCollapsedView(),
                                pageUrl, pageUrl);
    m_registry = std::make_unique<ModuleRegistry>(modules);
    m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
    m_store = std::make_unique<WidgetStore>(*m_registry, *m_defaults);
    m_model = std::make_unique<NotchViewModel>(laptop(), *m_store);
    m_engine = std::make_unique<QQmlEngine>();
    m_engine->addImportPath("qrc:/qt/qml");
}

void NotchRootViewTest::cleanup() {
    m_view.reset();
    m_engine.reset();
    m_model.reset();
    m_store.reset();
    m_defaults.reset();
    m_registry.reset();
    m_env.reset();
}

void NotchRootViewTest::enable(const QStringList& ids) {
    for (const QString& id : ids)
        m_store->setEnabled(true, id);
    for (const QString& id : m_registry->ids())
        if (!ids.contains(id))
            m_store->setEnabled(false, id);
}

void NotchRootViewTest::load() {
    m_view = std::make_unique<QQuickView>(m_engine.get(), nullptr);
    m_view->setInitialProperties({{"viewModel", QVariant::fromValue(m_model.get())},
                                  {"store", QVariant::fromValue(m_store.get())}});
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    m_view->resize(720, 320);
    m_view->setSource(QUrl("qrc:/qt/qml/Notchora/Notch/NotchRootView.qml"));
    QVERIFY2(m_view->errors().isEmpty(), qPrintable(m_view->errors().value(0).toString()));
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

QQuickItem* NotchRootViewTest::find(const char* name) const {
    return m_view->rootObject()->findChild<QQuickItem*>(QString::fromLatin1(name));
}

QQuickItem* NotchRootViewTest::page(int index) const {
    QQuickItem* item = nullptr;
    QMetaObject::invokeMethod(find("pager"), "itemAtIndex", Q_RETURN_ARG(QQuickItem*, item),
                              Q_ARG(int, index));
    return item ? item->property("view").value<QQuickItem*>() : nullptr;
}

void NotchRootViewTest::pagerTurnsWithoutWrapping_data() {
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QString>("active");
    QTest::addColumn<QList<int>>("turns");
    QTest::addColumn<QStringList>("positions");

    const QStringList all{"shortcuts", "assistant", "characters"};
    QTest::newRow("forward to the end and no further")
        << all << "shortcuts" << QList<int>{1, 1, 1}
        << QStringList{"assistant", "characters", "characters"};
    QTest::newRow("back from the first page does nothing")
        << all << "shortcuts" << QList<int>{-1} << QStringList{"shortcuts"};
    QTest::newRow("big jumps stop at the ends")
        << all << "assistant" << QList<int>{5, -9} << QStringList{"characters", "shortcuts"};
    QTest::newRow("one module: swipes do nothing")
        << QStringList{"assistant"} << "assistant" << QList<int>{1, -1}
        << QStringList{"assistant", "assistant"};
    QTest::newRow("disabled module skipped")
        << QStringList{"shortcuts", "characters"} << "characters" << QList<int>{-1, 1}
        << QStringList{"shortcuts", "characters"};
}

void NotchRootViewTest::pagerTurnsWithoutWrapping() {
    QFETCH(QStringList, enabled);
    QFETCH(QString, active);
    QFETCH(QList<int>, turns);
    QFETCH(QStringList, positions);
    enable(enabled);
    m_store->select(active);
    load();
    QQuickItem* pager = find("pager");
    QVERIFY(pager);
    QCOMPARE(pager->property("pagePosition").toString(), active);
    for (int i = 0; i < turns.size(); ++i) {
        QMetaObject::invokeMethod(pager, "turn", Q_ARG(int, turns[i]));
        QCOMPARE(pager->property("pagePosition").toString(), positions[i]);
        QCOMPARE(m_store->activeModuleID(), positions[i]);
    }
    // The page in view is the selected one once the scroll settles.
    const int index = enabled.indexOf(positions.last());
    QTRY_COMPARE(pager->property("contentX").toDouble(), index * pager->width());
}

void NotchRootViewTest::storeSelectionScrollsThePager() {
    load();
    QQuickItem* pager = find("pager");
    QCOMPARE(pager->property("pagePosition").toString(), QString("shortcuts"));
    // Chosen in the status menu while collapsed: the next expansion shows it.
    m_store->select("characters");
    QCOMPARE(pager->property("pagePosition").toString(), QString("characters"));
    QTRY_COMPARE(pager->property("contentX").toDouble(), 2 * pager->width());
}

void NotchRootViewTest::selectionScrollsSmoothly_data() {
    QTest::addColumn<bool>("byDot");
    QTest::newRow("page dot") << true;
    QTest::newRow("status menu") << false;
}

void NotchRootViewTest::selectionScrollsSmoothly() {
    QFETCH(bool, byDot);
    m_store->select("shortcuts");
    load();
    m_model->setIsExpanded(true);
    QQuickItem* pager = find("pager");
    QTRY_COMPARE(find("expandedContent")->opacity(), 1.0);
    QSignalSpy moves(pager, SIGNAL(contentXChanged()));

    if (byDot) {
        QQuickItem* dots = find("pageDots");
        QQuickItem* dot = nullptr;
        for (QQuickItem* child : dots->childItems())
            if (child->property("moduleID").toString() == "characters")
                dot = child;
        QVERIFY(dot);
        const QPointF centre = dot->mapToScene(QPointF(dot->width() / 2, dot->height() / 2));
        QTest::mouseClick(m_view.get(), Qt::LeftButton, {}, centre.toPoint());
    } else {
        m_store->select("characters");
    }
    QTRY_COMPARE(pager->property("contentX").toDouble(), 2 * pager->width());
    QCOMPARE(m_store->activeModuleID(), QString("characters"));
    // Scrolled through the page between, not jumped.
    QVERIFY2(moves.count() >= 3, qPrintable(QString::number(moves.count())));
}

void NotchRootViewTest::oneSwipeTurnsOnePage_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("position");
    QTest::newRow("fingers to the left: next page") << "shortcuts" << false << -30 << "assistant";
    QTest::newRow("fingers to the right: previous page")
        << "characters" << false << 30 << "assistant";
    QTest::newRow("natural scrolling flips the deltas") << "shortcuts" << true << 30 << "assistant";
    QTest::newRow("a short swipe turns nothing") << "shortcuts" << false << -5 << "shortcuts";
}

void NotchRootViewTest::oneSwipeTurnsOnePage() {
    QFETCH(QString, start);
    QFETCH(bool, inverted);
    QFETCH(int, step);
    QFETCH(QString, position);
    m_store->select(start);
    load();
    m_model->setIsExpanded(true);
    QQuickItem* pager = find("pager");
    QTRY_COMPARE(find("expandedContent")->opacity(), 1.0);
    const QPointF at = pager->mapToScene(QPointF(pager->width() / 2, pager->height() / 2));
    // One long swipe: ten events, 300 points in all.
    for (int i = 0; i < 10; ++i) {
        QWheelEvent event(at, m_view->mapToGlobal(at), QPoint(step, 0), QPoint(step * 2, 0),
                          Qt::NoButton, Qt::NoModifier, i == 0 ? Qt::ScrollBegin : Qt::ScrollUpdate,
                          inverted);
        QCoreApplication::sendEvent(m_view.get(), &event);
    }
    QCOMPARE(pager->property("pagePosition").toString(), position);
}

void NotchRootViewTest::springReversalKeepsItsSpeed() {
    QQmlComponent component(m_engine.get());
    component.setData("import Notchora.Notch\nSpring {}", QUrl());
    std::unique_ptr<QObject> spring(component.create());
    QVERIFY2(spring, qPrintable(component.errorString()));
    auto call = [&](const char* method, QVariantList args = {}) {
        QVariant result;
        QGenericArgument a[3];
        for (int i = 0; i < args.size(); ++i)
            a[i] = Q_ARG(QVariant, args[i]);
        QMetaObject::invokeMethod(spring.get(), method, Q_RETURN_ARG(QVariant, result), a[0], a[1],
                                  a[2]);
        return result.toDouble();
    };
    auto freezeAt = [&](double t) {
        spring->property("clock").value<QObject*>()->setProperty("paused", true);
        spring->setProperty("_time", t);
    };

    call("animateTo", {1.0, 0.42, 0.82});
    freezeAt(0.08);
    const double value = spring->property("value").toDouble();
    const double speed = call("velocity");
    QVERIFY(value > 0.1 && value < 0.9);
    QVERIFY(speed > 1);

    // The pointer left mid-way: the close starts where it was, at the same speed.
    call("animateTo", {0.0, 0.34, 1.0});
    freezeAt(0);
    QCOMPARE(spring->property("value").toDouble(), value);
    QVERIFY(qAbs(call("velocity") - speed) < speed * 0.01);
}

void NotchRootViewTest::pageDotsNeedTwoModules() {
    load();
    QQuickItem* dots = find("pageDots");
    QVERIFY(dots);
    QVERIFY(dots->isVisible() || !find("expandedContent")->isVisible());
    QCOMPARE(dots->childItems().size() - 1, 3); // three dots and the repeater
    m_store->setEnabled(false, "assistant");
    m_store->setEnabled(false, "characters");
    QVERIFY(!dots->property("visible").toBool());
    // The row keeps its height even when empty.
    QCOMPARE(dots->parentItem()->height(), 20.0);
}

void NotchRootViewTest::pagesReceiveTheEnvironment() {
    load();
    QQuickItem* first = page(0);
    QVERIFY(first);
    auto environment = [first] {
        return first->property("environment").value<WidgetEnvironment>();
    };
    QCOMPARE(environment().notchWidth, 190.0);
    QCOMPARE(environment().notchHeight, 30.0);
    QCOMPARE(environment().collapsedHeight, 30.0);
    QCOMPARE(environment().slotToNotchEdge, 40.0);
    QCOMPARE(environment().animationSpeed, 1.0);
    QCOMPARE(environment().notchViewModel, m_model.get());
    QCOMPARE(environment().animationsPaused, true);

    m_model->setIsExpanded(true);
    QCOMPARE(environment().animationsPaused, false);
    m_store->setAnimationSpeed(1.5);
    m_store->setLipHeight(8);
    QCOMPARE(environment().animationSpeed, 1.5);
    QCOMPARE(environment().collapsedHeight, 38.0);
}

void NotchRootViewTest::collapsedSlotFollowsTheStore() {
    load();
    QQuickItem* slot = find("collapsedSlot");
    QVERIFY(slot);
    QVERIFY(slot->isVisible());
    QCOMPARE(slot->width(), 64.0);
    // Its right edge sits 8 points inside the notch's right end.
    const double notchRight = 720 / 2.0 + 95;
    QCOMPARE(slot->x() + slot->width(), notchRight - 8);
    m_store->setEnabled(false, "characters");
    QVERIFY(!slot->isVisible());
}

// The sizes at each scale are TrayLayout's; here the springs carry the tray there and back.
void NotchRootViewTest::traySpringsOpenAndShut() {
    const double scale = 1.3;
    m_store->setWidgetScale(scale);
    load();
    QQuickItem* root = m_view->rootObject();
    auto tray = [this] { return m_model->layout().trayRect(); };
    // Collapsed: exactly the notch, never scaled.
    QCOMPARE(tray(), QRectF(360 - 95, 0, 190, 30));
    m_model->setIsExpanded(true);
    QTRY_COMPARE(tray(), QRectF(360 - 230 * scale, 0, 460 * scale, 178 * scale));
    QTRY_COMPARE(find("expandedContent")->opacity(), 1.0);
    m_model->setIsExpanded(false);
    QTRY_COMPARE(tray(), QRectF(360 - 95, 0, 190, 30));
    QTRY_VERIFY(!find("expandedContent")->isVisible());
    // Collapsed and at rest, nothing animates.
    QVERIFY(!root->property("springMoving").toBool());
}

void NotchRootViewTest::hitBumpsTheNotch() {
    load();
    auto tray = [this] { return m_model->layout().trayRect(); };
    m_model->setFlinching(true);
    // A springy bump, 6 % larger from the top centre, that settles there.
    QTRY_COMPARE(tray(), QRectF(360 - 95 * 1.06, 0, 190 * 1.06, 30 * 1.06));
    m_model->setFlinching(false);
    QTRY_COMPARE(tray(), QRectF(360 - 95, 0, 190, 30));
}

QTEST_MAIN(NotchRootViewTest)
#include "tst_notchrootview.moc"
