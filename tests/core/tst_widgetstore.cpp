#include "TestEnvironment.h"
#include "core/ModuleListModel.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetStore.h"
#include "platform/Defaults.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;

namespace {

// JSON written with single quotes and "$" for "store.", to keep the rows readable.
QByteArray json(const char* text) {
    return QByteArray(text).replace('\'', '"').replace("$", "store.");
}

// The real catalogue plus a later module on by default ("notes") and an opt-in one ("labs").
ModuleRegistry extendedRegistry() {
    auto modules = ModuleRegistry::defaultModules();
    const QUrl empty = ModuleRegistry::emptyView();
    modules << WidgetModule("notes", "Catatan", "note.text", true, false, empty, empty);
    modules << WidgetModule("labs", "Lab", "flask", false, true, empty, empty);
    return ModuleRegistry(modules);
}

} // namespace

class WidgetStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;

    QJsonObject onDisk() const {
        return QJsonDocument::fromJson(test::readFile(m_defaults->filePath())).object();
    }
    void store(const QByteArray& json) {
        QVERIFY(test::writeFile(m_defaults->filePath(), json));
        m_defaults->reload();
    }

private slots:
    void init() {
        m_defaults.reset();
        m_env = std::make_unique<test::TestEnvironment>();
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
    }
    void lookupIsCaseSensitive() {
        QVERIFY(ModuleRegistry::shared().module("shortcuts").has_value());
        QVERIFY(!ModuleRegistry::shared().module("Shortcuts").has_value());
    }
    // Lists are written as words; the extended registry is used when the expected order lists
    // its modules.
    void loading_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("active");
        const auto row = [](const char* name, const char* stored, QString enabled, QString order,
                            QString active = "shortcuts") {
            QTest::newRow(name) << json(stored) << enabled << order << active;
        };
        const QString all = "assistant characters shortcuts";
        const QString base = "shortcuts assistant characters";
        const QString extended = base + " notes labs";
        row("first run", "{}", all, base);
        row("order before revision 2 is discarded",
            "{'$moduleOrder':['characters','assistant','shortcuts'],'$activeModuleID':'assistant'}",
            all, base);
        row("revision 1 is discarded too",
            "{'$orderRevision':1,'$moduleOrder':['characters'],'$activeModuleID':'characters'}",
            all, base);
        row("revision stored as text counts as absent",
            "{'$orderRevision':'2','$moduleOrder':['characters'],'$activeModuleID':'x'}", all,
            base);
        row("revision 2 order is trusted",
            "{'$orderRevision':2,'$moduleOrder':['characters','shortcuts','assistant'],"
            "'$activeModuleID':'characters'}",
            all, "characters shortcuts assistant", "characters");
        row("unknown and duplicate ids are dropped, missing appended",
            "{'$orderRevision':2,'$moduleOrder':['gone','assistant','assistant','characters'],"
            "'$enabledModuleIDs':['assistant','gone']}",
            "assistant shortcuts", "assistant characters shortcuts");
        row("stored active id is kept even when unknown",
            "{'$orderRevision':2,'$activeModuleID':'gone'}", all, base, "gone");
        row("new default-on module is switched on once, disabled stays off",
            "{'$orderRevision':2,'$moduleOrder':['shortcuts','assistant','characters'],"
            "'$enabledModuleIDs':['assistant','shortcuts']}",
            "assistant notes shortcuts", extended);
        row("known new module the user switched off stays off",
            "{'$orderRevision':2,'$moduleOrder':['shortcuts','assistant','characters','notes'],"
            "'$enabledModuleIDs':['shortcuts']}",
            "shortcuts", extended);
        row("enabled set of the wrong type falls back to defaults",
            "{'$orderRevision':2,'$enabledModuleIDs':'shortcuts'}",
            "assistant characters notes shortcuts", extended);
    }
    void loading() {
        QFETCH(QByteArray, stored);
        QFETCH(QString, enabled);
        QFETCH(QString, order);
        QFETCH(QString, active);
        store(stored);
        const ModuleRegistry registry =
            order.contains("notes") ? extendedRegistry() : ModuleRegistry::shared();
        WidgetStore widgets(registry, *m_defaults);
        QCOMPARE(widgets.enabledModuleIDList().join(' '), enabled);
        QCOMPARE(widgets.moduleOrder().join(' '), order);
        QCOMPARE(widgets.activeModuleID(), active);
        // Loading always leaves a trusted order behind.
        QCOMPARE(onDisk().value("store.orderRevision").toInt(), 2);
    }
    void firstRunWritesMigrationKeysOnce() {
        WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
        QCOMPARE(onDisk(), QJsonDocument::fromJson(
                               json("{'$orderRevision':2,'$activeModuleID':'shortcuts',"
                                    "'$moduleOrder':['shortcuts','assistant','characters']}"))
                               .object());
        const QByteArray before = test::readFile(m_defaults->filePath());
        WidgetStore again(ModuleRegistry::shared(), *m_defaults);
        QCOMPARE(test::readFile(m_defaults->filePath()), before);
    }
    // Wrong types fall back to the default; numbers out of range are held to it, with one
    // warning per run, and the file keeps what the user wrote.
    void settingsAreReadSafely_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QString>("warning");
        const QByteArray defaults =
            json("{'animationSpeed':1,'widgetScale':1,'hoverSensitivity':0.3,"
                 "'lipHeight':0,'hideFromCapture':true,'moveWithSpaces':true}");
        QTest::newRow("defaults") << json("{}") << defaults << "";
        QTest::newRow("past the sliders but sane")
            << json("{'$animationSpeed':3,'$widgetScale':0.5,'$hoverSensitivity':2,"
                    "'$lipHeight':60,'$hideFromCapture':false,'$moveWithSpaces':"
                    "false}")
            << json("{'animationSpeed':3,'widgetScale':0.5,'hoverSensitivity':2,'lipHeight':60,"
                    "'hideFromCapture':false,'moveWithSpaces':false}")
            << "";
        QTest::newRow("wrong types") << json("{'$animationSpeed':'2','$widgetScale':true,"
                                             "'$hoverSensitivity':[1],"
                                             "'$lipHeight':null,'$hideFromCapture':0,'"
                                             "store.moveWithSpaces':'false'}")
                                     << defaults << "";
        const auto held = [](const char* name, QString key, const char* stored, const char* read) {
            QTest::newRow(name) << QByteArray("{\"store." + key.toLatin1() + "\":" + stored + "}")
                                << QByteArray("{\"" + key.toLatin1() + "\":" + read + "}")
                                << "store." + key + ".*outside";
        };
        held("lip far too high", "lipHeight", "1e9", "200");
        held("lip at the edge of doubles", "lipHeight", "1e308", "200");
        held("negative lip", "lipHeight", "-3", "0");
        held("scale zero", "widgetScale", "0", "0.5");
        held("endless speed", "animationSpeed", "1e308", "10");
        held("sensitivity too far", "hoverSensitivity", "1e6", "5");
    }
    void settingsAreReadSafely() {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, read);
        QFETCH(QString, warning);
        store(stored);
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
        QTest::failOnWarning(QRegularExpression("outside"));
        WidgetStore again(ModuleRegistry::shared(), *m_defaults);
        const QJsonObject expected = QJsonDocument::fromJson(read).object();
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            QCOMPARE(QJsonValue::fromVariant(widgets.property(it.key().toLatin1())), it.value());
            QCOMPARE(QJsonValue::fromVariant(again.property(it.key().toLatin1())), it.value());
        }
        const QJsonObject written = QJsonDocument::fromJson(stored).object();
        for (auto it = written.begin(); it != written.end(); ++it)
            QCOMPARE(onDisk().value(it.key()), it.value());
    }
    void lastEnabledModuleStaysOn() {
        WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
        widgets.setEnabled(false, "assistant");
        widgets.setEnabled(false, "shortcuts");
        widgets.setEnabled(false, "characters");
        QCOMPARE(widgets.enabledModuleIDList(), QStringList{"characters"});
        QCOMPARE(onDisk().value("store.enabledModuleIDs").toArray(), QJsonArray({"characters"}));
        // Any string may be switched on; the stored array is sorted.
        widgets.setEnabled(true, "zeta");
        widgets.setEnabled(true, "assistant");
        QCOMPARE(onDisk().value("store.enabledModuleIDs").toArray(),
                 QJsonArray({"assistant", "characters", "zeta"}));
        QCOMPARE(widgets.enabledModules().size(), 2);
    }
    void derivedModules_data() {
        QTest::addColumn<QStringList>("enabled");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QStringList>("expected"); // active, collapsed
        QTest::newRow("active enabled") << QStringList{"shortcuts", "assistant", "characters"}
                                        << "assistant" << QStringList{"assistant", "characters"};
        QTest::newRow("active has collapsed view")
            << QStringList{"shortcuts", "characters"} << "characters"
            << QStringList{"characters", "characters"};
        QTest::newRow("active disabled falls back to first enabled")
            << QStringList{"assistant", "characters"} << "shortcuts"
            << QStringList{"assistant", "characters"};
        QTest::newRow("no module with a collapsed view")
            << QStringList{"shortcuts", "assistant"} << "assistant" << QStringList{"assistant", ""};
        QTest::newRow("unknown active id")
            << QStringList{"characters"} << "gone" << QStringList{"characters", "characters"};
    }
    void derivedModules() {
        QFETCH(QStringList, enabled);
        QFETCH(QString, active);
        QFETCH(QStringList, expected);
        WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
        widgets.setEnabledModuleIDs(QSet<QString>(enabled.begin(), enabled.end()));
        widgets.setActiveModuleID(active);
        QCOMPARE((QStringList{widgets.activeModule() ? widgets.activeModule()->id() : "",
                              widgets.collapsedModule() ? widgets.collapsedModule()->id() : ""}),
                 expected);
        // Selecting a disabled module changes nothing; selecting an enabled one does.
        QSignalSpy spy(&widgets, &WidgetStore::activeModuleIDChanged);
        widgets.select("not-enabled");
        QCOMPARE(widgets.activeModuleID(), active);
        widgets.select(enabled.last());
        QCOMPARE(spy.count(), active == enabled.last() ? 0 : 1);
        QCOMPARE(onDisk().value("store.activeModuleID").toString(), enabled.last());
    }
    void everyChangeIsPersistedUnderItsKey() {
        const QVariantMap changes{{"animationSpeed", 1.5},    {"widgetScale", 1.3},
                                  {"hoverSensitivity", 0.0},  {"lipHeight", 12.0},
                                  {"hideFromCapture", false}, {"moveWithSpaces", false}};
        WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
        QSignalSpy scale(&widgets, &WidgetStore::widgetScaleChanged);
        for (auto it = changes.cbegin(); it != changes.cend(); ++it)
            widgets.setProperty(it.key().toLatin1(), it.value());
        widgets.setWidgetScale(1.3);
        widgets.setModuleOrder({"characters", "shortcuts", "assistant"});
        QCOMPARE(scale.count(), 1);
        WidgetStore reloaded(ModuleRegistry::shared(), *m_defaults);
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            QCOMPARE(onDisk().value("store." + it.key()).toVariant(), it.value());
            QCOMPARE(reloaded.property(it.key().toLatin1()), it.value());
        }
        QCOMPARE(reloaded.moduleOrder(), (QStringList{"characters", "shortcuts", "assistant"}));
    }
    void externalEditsReachTheStore() {
        WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
        QSignalSpy scale(&widgets, &WidgetStore::widgetScaleChanged);
        QSignalSpy modules(&widgets, &WidgetStore::modulesChanged);
        Defaults other(m_defaults->filePath()); // as the command line would
        other.setDouble("store.widgetScale", 1.25);
        other.setStringList("store.enabledModuleIDs", {"assistant"});
        QTRY_COMPARE(widgets.widgetScale(), 1.25);
        QTRY_COMPARE(widgets.enabledModuleIDList(), QStringList{"assistant"});
        QCOMPARE(scale.count(), 1);
        QVERIFY(modules.count() >= 1);
        QCOMPARE(widgets.activeModule()->id(), QStringLiteral("assistant"));
        // Deleting a key brings the default back, and the store does not write it again.
        other.remove("store.widgetScale");
        QTRY_COMPARE(widgets.widgetScale(), 1.0);
        QVERIFY(!onDisk().contains("store.widgetScale"));
    }
    void enabledModelRolesDescribeTheModules() {
        WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
        ModuleListModel* model = widgets.enabledModuleModel();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto modules = widgets.enabledModules();
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
    // Lists as words; the events are the rows inserted, removed and moved.
    void enabledModelMovesSingleRows_data() {
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QList<int>>("events");
        const auto row = [](const char* name, QString enabled, QString order, QString rows,
                            QList<int> events) {
            QTest::newRow(name) << enabled << order << rows << events;
        };
        const QString all = "shortcuts assistant characters";
        const QString lastFirst = "characters shortcuts assistant";
        row("switch one off", "shortcuts characters", all, "shortcuts characters", {0, 1, 0});
        row("move the last to the front", all, lastFirst, lastFirst, {0, 0, 1});
        row("reverse", all, "characters assistant shortcuts", "characters assistant shortcuts",
            {0, 0, 2});
        row("one off, order changed", "assistant characters", lastFirst, "characters assistant",
            {0, 1, 1});
    }
    void enabledModelMovesSingleRows() {
        QFETCH(QString, enabled);
        QFETCH(QString, order);
        QFETCH(QString, rows);
        QFETCH(QList<int>, events);
        WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
        ModuleListModel* model = widgets.enabledModuleModel();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto ids = [model] {
            QStringList list;
            for (int row = 0; row < model->rowCount(); ++row)
                list << model->idAt(row);
            return list.join(' ');
        };
        QSignalSpy insertions(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removals(model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy moves(model, &QAbstractItemModel::rowsMoved);
        QSignalSpy resets(model, &QAbstractItemModel::modelReset);
        QSignalSpy count(model, &ModuleListModel::countChanged);
        QSignalSpy changes(model, &QAbstractItemModel::dataChanged);
        QSignalSpy layout(model, &QAbstractItemModel::layoutChanged);
        const QStringList wanted = enabled.split(' ');
        widgets.setEnabledModuleIDs(QSet<QString>(wanted.begin(), wanted.end()));
        widgets.setModuleOrder(order.split(' '));
        widgets.select(rows.section(' ', -1)); // selecting is no change of the list
        QCOMPARE(ids(), rows);
        QCOMPARE((QList<int>{int(insertions.count()), int(removals.count()), int(moves.count())}),
                 events);
        QCOMPARE(resets.count() + changes.count() + layout.count(), 0);
        QCOMPARE(count.count(), events[0] + events[1]);
        // And back: the switched-off modules return in their places.
        widgets.setEnabledModuleIDs({"shortcuts", "assistant", "characters"});
        widgets.setModuleOrder({"shortcuts", "assistant", "characters"});
        QCOMPARE(ids(), QStringLiteral("shortcuts assistant characters"));
        QCOMPARE(insertions.count(), events[1]);
    }
};

QTEST_GUILESS_MAIN(WidgetStoreTest)
#include "tst_widgetstore.moc"
