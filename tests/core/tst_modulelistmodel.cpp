#include "TestEnvironment.h"
#include "core/ModuleListModel.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetStore.h"
#include "platform/Defaults.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;

class ModuleListModelTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<WidgetStore> m_store;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    QStringList ids() const {
        const ModuleListModel* model = m_store->enabledModuleModel();
        QStringList list;
        for (int row = 0; row < model->rowCount(); ++row)
            list << model->idAt(row);
        return list;
    }

private slots:
    void init() {
        m_env = std::make_unique<test::TestEnvironment>();
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
        m_store = std::make_unique<WidgetStore>(ModuleRegistry::shared(), *m_defaults);
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_store->enabledModuleModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    void rolesDescribeTheModules() {
        ModuleListModel* model = m_store->enabledModuleModel();
        const auto modules = m_store->enabledModules();
        QCOMPARE(model->rowCount(), modules.size());
        const QHash<int, QByteArray> names = model->roleNames();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row);
            const WidgetModule& module = modules.at(row);
            QCOMPARE(index.data(names.key("moduleID")).toString(), module.id());
            QCOMPARE(index.data(names.key("name")).toString(), module.name());
            QCOMPARE(index.data(names.key("iconSystemName")).toString(), module.iconSystemName());
            QCOMPARE(index.data(names.key("hasCollapsedView")).toBool(), module.hasCollapsedView());
            QCOMPARE(index.data(names.key("collapsedView")).toUrl(), module.collapsedView());
            QCOMPARE(index.data(names.key("expandedView")).toUrl(), module.expandedView());
        }
        QCOMPARE(model->indexOf("characters"), 2);
        QCOMPARE(model->indexOf("nothing"), -1);
        QCOMPARE(model->idAt(3), QString());
    }
    void changesMoveSingleRows_data() {
        QTest::addColumn<QStringList>("enabled");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QList<int>>("events"); // inserted, removed, moved
        const QStringList all{"shortcuts", "assistant", "characters"};
        const QStringList lastFirst{"characters", "shortcuts", "assistant"};
        QTest::newRow("switch one off")
            << QStringList{"shortcuts", "characters"} << all
            << QStringList{"shortcuts", "characters"} << QList<int>{0, 1, 0};
        QTest::newRow("move the last to the front")
            << all << lastFirst << lastFirst << QList<int>{0, 0, 1};
        QTest::newRow("reverse") << all << QStringList{"characters", "assistant", "shortcuts"}
                                 << QStringList{"characters", "assistant", "shortcuts"}
                                 << QList<int>{0, 0, 2};
        QTest::newRow("one off, order changed")
            << QStringList{"assistant", "characters"} << lastFirst
            << QStringList{"characters", "assistant"} << QList<int>{0, 1, 1};
    }
    void changesMoveSingleRows() {
        QFETCH(QStringList, enabled);
        QFETCH(QStringList, order);
        QFETCH(QStringList, rows);
        QFETCH(QList<int>, events);
        ModuleListModel* model = m_store->enabledModuleModel();
        QSignalSpy insertions(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removals(model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy moves(model, &QAbstractItemModel::rowsMoved);
        QSignalSpy resets(model, &QAbstractItemModel::modelReset);
        QSignalSpy count(model, &ModuleListModel::countChanged);
        QSignalSpy changes(model, &QAbstractItemModel::dataChanged);
        QSignalSpy layout(model, &QAbstractItemModel::layoutChanged);

        m_store->setEnabledModuleIDs(QSet<QString>(enabled.begin(), enabled.end()));
        m_store->setModuleOrder(order);
        // Selecting a module is no change of the list.
        m_store->select(rows.last());
        QCOMPARE(ids(), rows);
        QCOMPARE((QList<int>{int(insertions.count()), int(removals.count()), int(moves.count())}),
                 events);
        QCOMPARE(resets.count() + changes.count() + layout.count(), 0);
        QCOMPARE(count.count(), events[0] + events[1]);

        // And back: the switched-off modules return in their places.
        m_store->setEnabledModuleIDs({"shortcuts", "assistant", "characters"});
        m_store->setModuleOrder({"shortcuts", "assistant", "characters"});
        QCOMPARE(ids(), (QStringList{"shortcuts", "assistant", "characters"}));
        QCOMPARE(insertions.count(), events[1]);
    }
};

QTEST_GUILESS_MAIN(ModuleListModelTest)
#include "tst_modulelistmodel.moc"
