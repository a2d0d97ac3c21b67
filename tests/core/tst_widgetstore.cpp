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
        // Loading leaves a trusted order behind, and a second start finds nothing to write.
        QCOMPARE(onDisk().value("store.orderRevision").toInt(), 2);
        const QByteArray before = test::readFile(m_defaults->filePath());
        WidgetStore again(registry, *m_defaults);
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
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(QJsonValue::fromVariant(widgets.property(it.key().toLatin1())), it.value());
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
    }
    // Lists as words; expected: the active module, then the collapsed one ("-" for none).
    void derivedModules_data() {
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, QString enabled, QString active, QString expected) {
            QTest::newRow(name) << enabled << active << expected;
        };
        row("active enabled", "shortcuts assistant characters", "assistant",
            "assistant characters");
        row("active has collapsed view", "shortcuts characters", "characters",
            "characters characters");
        row("active disabled falls back to first enabled", "assistant characters", "shortcuts",
            "assistant characters");
        row("no module with a collapsed view", "shortcuts assistant", "assistant", "assistant -");
        row("unknown active id", "characters", "gone", "characters characters");
    }
    void derivedModules() {
        QFETCH(QString, enabled);
        QFETCH(QString, active);
        QFETCH(QString, expected);
        const QStringList ids = enabled.split(' ');
        WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
        widgets.setEnabledModuleIDs(QSet<QString>(ids.begin(), ids.end()));
        widgets.setActiveModuleID(active);
        QCOMPARE((widgets.activeModule() ? widgets.activeModule()->id() : "-") + ' ' +
                     (widgets.collapsedModule() ? widgets.collapsedModule()->id() : "-"),
                 expected);
        // Selecting a disabled module changes nothing; selecting an enabled one does.
        widgets.select("not-enabled");
        QCOMPARE(widgets.activeModuleID(), active);
        widgets.select(ids.last());
        QCOMPARE(onDisk().value("store.activeModuleID").toString(), ids.last());
    }
    void externalEditsReachTheStore() {
        WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
        Defaults other(m_defaults->filePath()); // as the command line would
        other.setDouble("store.widgetScale", 1.25);
        other.setStringList("store.enabledModuleIDs", {"assistant"});
        QTRY_COMPARE(widgets.enabledModuleIDList(), QStringList{"assistant"});
        QCOMPARE(widgets.widgetScale(), 1.25);
        QCOMPARE(widgets.activeModule()->id(), QStringLiteral("assistant"));
        // Deleting a key brings the default back, and the store does not write it again.
        other.remove("store.widgetScale");
        QTRY_COMPARE(widgets.widgetScale(), 1.0);
        QVERIFY(!onDisk().contains("store.widgetScale"));
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
        QCOMPARE(model->indexOf(rows.section(' ', -1)), model->rowCount() - 1);
        QCOMPARE(model->indexOf("nothing"), -1);
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
