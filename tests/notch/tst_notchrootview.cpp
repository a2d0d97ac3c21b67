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

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<ModuleRegistry> m_registry;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<WidgetStore> m_store;
    std::unique_ptr<NotchViewModel> m_model;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickView> m_view;

    void enable(const QStringList& ids) {
        for (const QString& id : m_registry->ids())
            m_store->setEnabled(ids.contains(id), id);
    }
    void load(bool expanded = false) {
        m_view = std::make_unique<QQuickView>(m_engine.get(), nullptr);
        m_view->setInitialProperties({{"viewModel", QVariant::fromValue(m_model.get())},
                                      {"store", QVariant::fromValue(m_store.get())}});
        m_view->setResizeMode(QQuickView::SizeRootObjectToView);
        m_view->resize(720, 320);
        m_view->setSource(QUrl("qrc:/qt/qml/Notchora/Notch/NotchRootView.qml"));
        QVERIFY2(m_view->errors().isEmpty(), qPrintable(m_view->errors().value(0).toString()));
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        if (expanded) {
            m_model->setIsExpanded(true);
            QTRY_COMPARE(find("expandedContent")->opacity(), 1.0);
        }
    }
    QQuickItem* find(const char* name) const {
        return m_view->rootObject()->findChild<QQuickItem*>(QString::fromLatin1(name));
    }
    QString pagePosition() const { return find("pager")->property("pagePosition").toString(); }
    QQuickItem* page(int index) const {
        QQuickItem* item = nullptr;
        QMetaObject::invokeMethod(find("pager"), "itemAtIndex", Q_RETURN_ARG(QQuickItem*, item),
                                  Q_ARG(int, index));
        return item ? item->property("view").value<QQuickItem*>() : nullptr;
    }
    QRectF tray() const { return m_model->layout().trayRect(); }

private slots:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }
    void init() {
        m_env = std::make_unique<test::TestEnvironment>();
        const QString pagePath = m_env->root() + "/Page.qml";
        QVERIFY(test::writeFile(pagePath, pageSource));
        const QUrl pageUrl = QUrl::fromLocalFile(pagePath);
        QList<WidgetModule> modules;
        for (const auto& m : ModuleRegistry::defaultModules())
            modules << WidgetModule(m.id(), m.name(), m.iconSystemName(), true,
                                    m.hasCollapsedView(), pageUrl, pageUrl);
        m_registry = std::make_unique<ModuleRegistry>(modules);
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
        m_store = std::make_unique<WidgetStore>(*m_registry, *m_defaults);
        m_model = std::make_unique<NotchViewModel>(laptop(), *m_store);
        m_engine = std::make_unique<QQmlEngine>();
        m_engine->addImportPath("qrc:/qt/qml");
    }
    void cleanup() {
        m_view.reset();
        m_engine.reset();
        m_model.reset();
        m_store.reset();
    }
    void pagerTurnsWithoutWrapping_data() {
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
    void pagerTurnsWithoutWrapping() {
        QFETCH(QStringList, enabled);
        QFETCH(QString, active);
        QFETCH(QList<int>, turns);
        QFETCH(QStringList, positions);
        enable(enabled);
        m_store->select(active);
        load();
        QQuickItem* pager = find("pager");
        QCOMPARE(pagePosition(), active);
        for (int i = 0; i < turns.size(); ++i) {
            QMetaObject::invokeMethod(pager, "turn", Q_ARG(int, turns[i]));
            QCOMPARE(pagePosition(), positions[i]);
            QCOMPARE(m_store->activeModuleID(), positions[i]);
        }
        // The page in view is the selected one once the scroll settles.
        const int index = enabled.indexOf(positions.last());
        QTRY_COMPARE(pager->property("contentX").toDouble(), index * pager->width());
    }
    // Chosen in the status menu while collapsed: the next expansion shows it.
    void storeSelectionScrollsThePager() {
        load();
        m_store->select("characters");
        QCOMPARE(pagePosition(), QString("characters"));
        QTRY_COMPARE(find("pager")->property("contentX").toDouble(), 2 * find("pager")->width());
    }
    void selectionScrollsSmoothly_data() {
        QTest::addColumn<bool>("byDot");
        QTest::newRow("page dot") << true;
        QTest::newRow("status menu") << false;
    }
    void selectionScrollsSmoothly() {
        QFETCH(bool, byDot);
        load(true);
        QQuickItem* pager = find("pager");
        QSignalSpy moves(pager, SIGNAL(contentXChanged()));
        if (byDot) {
            QQuickItem* dot = nullptr;
            for (QQuickItem* child : find("pageDots")->childItems())
                dot = child->property("moduleID").toString() == "characters" ? child : dot;
            QVERIFY(dot);
            QTest::mouseClick(
                m_view.get(), Qt::LeftButton, {},
                dot->mapToScene(QPointF(dot->width() / 2, dot->height() / 2)).toPoint());
        } else {
            m_store->select("characters");
        }
        QTRY_COMPARE(pager->property("contentX").toDouble(), 2 * pager->width());
        QCOMPARE(m_store->activeModuleID(), QString("characters"));
        // Scrolled through the page between, not jumped.
        QVERIFY2(moves.count() >= 3, qPrintable(QString::number(moves.count())));
    }
    void oneSwipeTurnsOnePage_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("position");
        QTest::newRow("fingers to the left: next page")
            << "shortcuts" << false << -30 << "assistant";
        QTest::newRow("fingers to the right: previous page")
            << "characters" << false << 30 << "assistant";
        QTest::newRow("natural scrolling flips the deltas")
            << "shortcuts" << true << 30 << "assistant";
        QTest::newRow("a short swipe turns nothing") << "shortcuts" << false << -5 << "shortcuts";
    }
    void oneSwipeTurnsOnePage() {
        QFETCH(QString, start);
        QFETCH(bool, inverted);
        QFETCH(int, step);
        QFETCH(QString, position);
        m_store->select(start);
        load(true);
        QQuickItem* pager = find("pager");
        const QPointF at = pager->mapToScene(QPointF(pager->width() / 2, pager->height() / 2));
        // One long swipe: ten events, 300 points in all.
        for (int i = 0; i < 10; ++i) {
            QWheelEvent event(at, m_view->mapToGlobal(at), QPoint(step, 0), QPoint(step * 2, 0),
                              Qt::NoButton, Qt::NoModifier,
                              i == 0 ? Qt::ScrollBegin : Qt::ScrollUpdate, inverted);
            QCoreApplication::sendEvent(m_view.get(), &event);
        }
        QCOMPARE(pagePosition(), position);
    }
    void springReversalKeepsItsSpeed() {
        QQmlComponent component(m_engine.get());
        component.setData("import Notchora.Notch\nSpring {}", QUrl());
        std::unique_ptr<QObject> spring(component.create());
        QVERIFY2(spring, qPrintable(component.errorString()));
        auto animateTo = [&](double target, double response, double damping, double frozenAt) {
            QMetaObject::invokeMethod(spring.get(), "animateTo", Q_ARG(QVariant, target),
                                      Q_ARG(QVariant, response), Q_ARG(QVariant, damping));
            spring->property("clock").value<QObject*>()->setProperty("paused", true);
            spring->setProperty("_time", frozenAt);
        };
        auto velocity = [&] {
            QVariant result;
            QMetaObject::invokeMethod(spring.get(), "velocity", Q_RETURN_ARG(QVariant, result));
            return result.toDouble();
        };
        animateTo(1.0, 0.42, 0.82, 0.08);
        const double value = spring->property("value").toDouble();
        const double speed = velocity();
        QVERIFY(value > 0.1 && value < 0.9);
        QVERIFY(speed > 1);
        // The pointer left mid-way: the close starts where it was, at the same speed.
        animateTo(0.0, 0.34, 1.0, 0);
        QCOMPARE(spring->property("value").toDouble(), value);
        QVERIFY(qAbs(velocity() - speed) < speed * 0.01);
    }
    // The page dots, the collapsed slot and the pages' environment follow the store and model.
    void viewFollowsTheStore() {
        load();
        QQuickItem* dots = find("pageDots");
        QQuickItem* slot = find("collapsedSlot");
        QCOMPARE(dots->childItems().size() - 1, 3); // three dots and the repeater
        QVERIFY(slot->isVisible());
        QCOMPARE(slot->x(), m_model->layout().slotRect().x());
        QCOMPARE(slot->width(), m_model->layout().slotRect().width());
        const auto environment = [this] {
            return page(0)->property("environment").value<WidgetEnvironment>();
        };
        const auto values = [&] {
            const WidgetEnvironment e = environment();
            return QList<double>{e.notchWidth,      e.notchHeight,    e.collapsedHeight,
                                 e.slotToNotchEdge, e.animationSpeed, double(e.animationsPaused)};
        };
        QCOMPARE(environment().notchViewModel, m_model.get());
        QCOMPARE(values(), (QList<double>{190, 30, 30, 40, 1, 1}));
        m_model->setIsExpanded(true);
        m_store->setAnimationSpeed(1.5);
        m_store->setLipHeight(8);
        QCOMPARE(values(), (QList<double>{190, 30, 38, 40, 1.5, 0}));
        // One module left: no dots (the row keeps its height), no slot.
        enable({"shortcuts"});
        QVERIFY(!dots->property("visible").toBool());
        QCOMPARE(dots->parentItem()->height(), 20.0);
        QVERIFY(!slot->isVisible());
    }
    // The sizes are TrayLayout's; here the springs carry the tray there and back, and the
    // flinch bumps it 6 % from the top centre.
    void springsCarryTheTray() {
        const double scale = 1.3;
        m_store->setWidgetScale(scale);
        load();
        const QRectF notch(360 - 95, 0, 190, 30);
        QCOMPARE(tray(), notch);
        m_model->setIsExpanded(true);
        QTRY_COMPARE(tray(), QRectF(360 - 230 * scale, 0, 460 * scale, 178 * scale));
        QTRY_COMPARE(find("expandedContent")->opacity(), 1.0);
        m_model->setIsExpanded(false);
        QTRY_COMPARE(tray(), notch);
        QTRY_VERIFY(!find("expandedContent")->isVisible());
        QVERIFY(!m_view->rootObject()->property("springMoving").toBool());
        m_model->setFlinching(true);
        QTRY_COMPARE(tray(), QRectF(360 - 95 * 1.06, 0, 190 * 1.06, 30 * 1.06));
        m_model->setFlinching(false);
        QTRY_COMPARE(tray(), notch);
    }
};

QTEST_MAIN(NotchRootViewTest)
#include "tst_notchrootview.moc"
