#include "TestEnvironment.h"
#include "core/ModuleRegistry.h"
#include "core/WidgetStore.h"
#include "platform/Defaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;

namespace {

// The real catalogue plus a module shipped in a later version ("notes", on by default) and an
// opt-in one ("labs").
ModuleRegistry extendedRegistry() {
    auto modules = ModuleRegistry::defaultModules();
    const QUrl empty = ModuleRegistry::emptyView();
    modules << WidgetModule("notes", "Catatan", "note.text", true, false, empty, empty);
    modules << WidgetModule("labs", "Lab", "flask", false, true, empty, empty);
    return ModuleRegistry(modules);
}

QStringList ids(const QList<WidgetModule>& modules) {
    QStringList list;
    for (const auto& m : modules)
        list << m.id();
    return list;
}

} // namespace

class WidgetStoreTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void lookupIsCaseSensitive();
    void loading_data();
    void loading();
    void firstRunWritesMigrationKeys();
    void settingsFallBackOnWrongTypes_data();
    void settingsFallBackOnWrongTypes();
    void numbersAreHeldToTheirRange_data();
    void numbersAreHeldToTheirRange();
    void lastEnabledModuleStaysOn();
    void derivedModules_data();
    void derivedModules();
    void everyChangeIsPersistedUnderItsKey();
    void externalEditsReachTheStore();

private:
    QJsonObject onDisk() const {
        return QJsonDocument::fromJson(test::readFile(m_defaults->filePath())).object();
    }
    void store(const QByteArray& json) {
        QVERIFY(test::writeFile(m_defaults->filePath(), json));
        m_defaults->reload();
    }
    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
};

void WidgetStoreTest::init() {
    m_defaults.reset();
    m_env = std::make_unique<test::TestEnvironment>();
    m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
}

void WidgetStoreTest::lookupIsCaseSensitive() {
    QVERIFY(ModuleRegistry::shared().module("shortcuts").has_value());
    QVERIFY(!ModuleRegistry::shared().module("Shortcuts").has_value());
}

void WidgetStoreTest::loading_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QString>("active");

    const QStringList all{"assistant", "characters", "shortcuts"};
    const QStringList registryOrder{"shortcuts", "assistant", "characters"};
    QTest::newRow("first run") << QByteArray("{}") << false << all << registryOrder << "shortcuts";
    QTest::newRow("order before revision 2 is discarded")
        << QByteArray(
               R"({"store.moduleOrder":["characters","assistant","shortcuts"],"store.activeModuleID":"assistant"})")
        << false << all << registryOrder << "shortcuts";
    QTest::newRow("revision 1 is discarded too")
        << QByteArray(
               R"({"store.orderRevision":1,"store.moduleOrder":["characters","shortcuts","assistant"],)"
               R"("store.activeModuleID":"characters"})")
        << false << all << registryOrder << "shortcuts";
    QTest::newRow("revision 2 order is trusted")
        << QByteArray(
               R"({"store.orderRevision":2,"store.moduleOrder":["characters","shortcuts","assistant"],)"
               R"("store.activeModuleID":"characters"})")
        << false << all << QStringList{"characters", "shortcuts", "assistant"} << "characters";
    QTest::newRow("unknown and duplicate ids are dropped, missing appended")
        << QByteArray(
               R"({"store.orderRevision":2,"store.moduleOrder":["gone","assistant","assistant","characters"],)"
               R"("store.enabledModuleIDs":["assistant","gone"]})")
        << false << QStringList{"assistant", "shortcuts"}
        << QStringList{"assistant", "characters", "shortcuts"} << "shortcuts";
    QTest::newRow("revision stored as text counts as absent")
        << QByteArray(
               R"({"store.orderRevision":"2","store.moduleOrder":["characters"],"store.activeModuleID":"x"})")
        << false << all << registryOrder << "shortcuts";
    QTest::newRow("stored active id is kept even when unknown")
        << QByteArray(R"({"store.orderRevision":2,"store.activeModuleID":"gone"})") << false << all
        << registryOrder << "gone";
    QTest::newRow("new default-on module is switched on once, disabled stays off")
        << QByteArray(
               R"({"store.orderRevision":2,"store.moduleOrder":["shortcuts","assistant","characters"],)"
               R"("store.enabledModuleIDs":["assistant","shortcuts"]})")
        << true << QStringList{"assistant", "notes", "shortcuts"}
        << QStringList{"shortcuts", "assistant", "characters", "notes", "labs"} << "shortcuts";
    QTest::newRow("known new module the user switched off stays off")
        << QByteArray(
               R"({"store.orderRevision":2,"store.moduleOrder":["shortcuts","assistant","characters","notes"],)"
               R"("store.enabledModuleIDs":["shortcuts"]})")
        << true << QStringList{"shortcuts"}
        << QStringList{"shortcuts", "assistant", "characters", "notes", "labs"} << "shortcuts";
    QTest::newRow("enabled set of the wrong type falls back to defaults")
        << QByteArray(R"({"store.orderRevision":2,"store.enabledModuleIDs":"shortcuts"})") << true
        << QStringList{"assistant", "characters", "notes", "shortcuts"}
        << QStringList{"shortcuts", "assistant", "characters", "notes", "labs"} << "shortcuts";
}

void WidgetStoreTest::loading() {
    QFETCH(QByteArray, stored);
    QFETCH(bool, extended);
    QFETCH(QStringList, enabled);
    QFETCH(QStringList, order);
    QFETCH(QString, active);
    store(stored);
    const ModuleRegistry registry = extended ? extendedRegistry() : ModuleRegistry::shared();
    WidgetStore widgets(registry, *m_defaults);
    QCOMPARE(widgets.enabledModuleIDList(), enabled);
    QCOMPARE(widgets.moduleOrder(), order);
    QCOMPARE(widgets.activeModuleID(), active);
    // Loading always leaves a trusted order behind.
    QCOMPARE(onDisk().value("store.orderRevision").toInt(), 2);
}

void WidgetStoreTest::firstRunWritesMigrationKeys() {
    WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
    const QJsonObject saved = onDisk();
    QCOMPARE(saved.value("store.orderRevision").toDouble(), 2.0);
    QCOMPARE(saved.value("store.moduleOrder").toArray(),
             QJsonArray({"shortcuts", "assistant", "characters"}));
    QCOMPARE(saved.value("store.activeModuleID").toString(), QStringLiteral("shortcuts"));
    // Nothing else is written until the user changes something.
    QCOMPARE(saved.size(), 3);
    // A second start trusts what the first wrote and writes nothing new.
    const QByteArray before = test::readFile(m_defaults->filePath());
    WidgetStore again(ModuleRegistry::shared(), *m_defaults);
    QCOMPARE(test::readFile(m_defaults->filePath()), before);
}

void WidgetStoreTest::settingsFallBackOnWrongTypes_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QList<double>>("numbers"); // speed, scale, sensitivity, lip
    QTest::addColumn<bool>("hideFromCapture");
    QTest::addColumn<bool>("moveWithSpaces");
    QTest::newRow("defaults") << QByteArray("{}") << QList<double>{1.0, 1.0, 0.3, 0.0} << true
                              << true;
    // Past the settings window's sliders but sane: kept as stored.
    QTest::newRow("stored values past the sliders")
        << QByteArray(
               R"({"store.animationSpeed":3,"store.widgetScale":0.5,"store.hoverSensitivity":2,)"
               R"("store.lipHeight":60,"store.hideFromCapture":false,"store.moveWithSpaces":false})")
        << QList<double>{3.0, 0.5, 2.0, 60.0} << false << false;
    QTest::newRow("wrong types")
        << QByteArray(
               R"({"store.animationSpeed":"2","store.widgetScale":true,"store.hoverSensitivity":[1],)"
               R"("store.lipHeight":null,"store.hideFromCapture":0,"store.moveWithSpaces":"false"})")
        << QList<double>{1.0, 1.0, 0.3, 0.0} << true << true;
}

void WidgetStoreTest::settingsFallBackOnWrongTypes() {
    QFETCH(QByteArray, stored);
    QFETCH(QList<double>, numbers);
    QFETCH(bool, hideFromCapture);
    QFETCH(bool, moveWithSpaces);
    store(stored);
    WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
    QCOMPARE((QList<double>{widgets.animationSpeed(), widgets.widgetScale(),
                            widgets.hoverSensitivity(), widgets.lipHeight()}),
             numbers);
    QCOMPARE(widgets.hideFromCapture(), hideFromCapture);
    QCOMPARE(widgets.moveWithSpaces(), moveWithSpaces);
}

void WidgetStoreTest::lastEnabledModuleStaysOn() {
    WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
    widgets.setEnabled(false, "assistant");
    widgets.setEnabled(false, "shortcuts");
    QCOMPARE(widgets.enabledModuleIDList(), QStringList{"characters"});
    widgets.setEnabled(false, "characters");
    QCOMPARE(widgets.enabledModuleIDList(), QStringList{"characters"});
    QCOMPARE(onDisk().value("store.enabledModuleIDs").toArray(), QJsonArray({"characters"}));
    // Any string may be switched on; the stored array is sorted.
    widgets.setEnabled(true, "zeta");
    widgets.setEnabled(true, "assistant");
    QCOMPARE(onDisk().value("store.enabledModuleIDs").toArray(),
             QJsonArray({"assistant", "characters", "zeta"}));
    QCOMPARE(ids(widgets.enabledModules()), (QStringList{"assistant", "characters"}));
}

void WidgetStoreTest::derivedModules_data() {
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QString>("active");
    QTest::addColumn<QString>("expectedActive");
    QTest::addColumn<QString>("expectedCollapsed");
    QTest::newRow("active enabled")
        << QStringList{"shortcuts", "assistant", "characters"} << "assistant"
        << "assistant"
        << "characters";
    QTest::newRow("active has collapsed view")
        << QStringList{"shortcuts", "characters"} << "characters"
        << "characters"
        << "characters";
    QTest::newRow("active disabled falls back to first enabled")
        << QStringList{"assistant", "characters"} << "shortcuts"
        << "assistant"
        << "characters";
    QTest::newRow("no module with a collapsed view")
        << QStringList{"shortcuts", "assistant"} << "assistant"
        << "assistant"
        << "";
    QTest::newRow("unknown active id") << QStringList{"characters"} << "gone"
                                       << "characters"
                                       << "characters";
}

void WidgetStoreTest::derivedModules() {
    QFETCH(QStringList, enabled);
    QFETCH(QString, active);
    QFETCH(QString, expectedActive);
    QFETCH(QString, expectedCollapsed);
    WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
    widgets.setEnabledModuleIDs(QSet<QString>(enabled.begin(), enabled.end()));
    widgets.setActiveModuleID(active);
    QCOMPARE(widgets.activeModule() ? widgets.activeModule()->id() : QString(), expectedActive);
    QCOMPARE(widgets.collapsedModule() ? widgets.collapsedModule()->id() : QString(),
             expectedCollapsed);

    // Selecting a disabled module changes nothing; selecting an enabled one does.
    QSignalSpy spy(&widgets, &WidgetStore::activeModuleIDChanged);
    widgets.select("not-enabled");
    QCOMPARE(widgets.activeModuleID(), active);
    widgets.select(enabled.last());
    QCOMPARE(widgets.activeModuleID(), enabled.last());
    QCOMPARE(spy.count(), active == enabled.last() ? 0 : 1);
    QCOMPARE(onDisk().value("store.activeModuleID").toString(), enabled.last());
}

void WidgetStoreTest::everyChangeIsPersistedUnderItsKey() {
    WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
    QSignalSpy scale(&widgets, &WidgetStore::widgetScaleChanged);
    widgets.setAnimationSpeed(1.5);
    widgets.setWidgetScale(1.3);
    widgets.setWidgetScale(1.3);
    widgets.setHoverSensitivity(0.0);
    widgets.setLipHeight(12);
    widgets.setHideFromCapture(false);
    widgets.setMoveWithSpaces(false);
    widgets.setModuleOrder({"characters", "shortcuts", "assistant"});
    QCOMPARE(scale.count(), 1);
    const QJsonObject saved = onDisk();
    QCOMPARE(saved.value("store.animationSpeed"), QJsonValue(1.5));
    QCOMPARE(saved.value("store.widgetScale"), QJsonValue(1.3));
    QCOMPARE(saved.value("store.hoverSensitivity"), QJsonValue(0.0));
    QCOMPARE(saved.value("store.lipHeight"), QJsonValue(12.0));
    QCOMPARE(saved.value("store.hideFromCapture"), QJsonValue(false));
    QCOMPARE(saved.value("store.moveWithSpaces"), QJsonValue(false));
    // A new store over the same file sees the same state.
    WidgetStore reloaded(ModuleRegistry::shared(), *m_defaults);
    QCOMPARE(reloaded.widgetScale(), 1.3);
    QCOMPARE(reloaded.moduleOrder(), (QStringList{"characters", "shortcuts", "assistant"}));
    QVERIFY(!reloaded.hideFromCapture());
}

void WidgetStoreTest::externalEditsReachTheStore() {
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

void WidgetStoreTest::numbersAreHeldToTheirRange_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<double>("stored");
    QTest::addColumn<double>("read");
    QTest::newRow("lip far too high") << "store.lipHeight" << 1e9 << 200.0;
    QTest::newRow("lip at the edge of doubles") << "store.lipHeight" << 1e308 << 200.0;
    QTest::newRow("negative lip") << "store.lipHeight" << -3.0 << 0.0;
    QTest::newRow("scale zero") << "store.widgetScale" << 0.0 << 0.5;
    QTest::newRow("endless speed") << "store.animationSpeed" << 1e308 << 10.0;
    QTest::newRow("sensitivity too far") << "store.hoverSensitivity" << 1e6 << 5.0;
    QTest::newRow("past the slider, still sane") << "store.lipHeight" << 120.0 << 120.0;
}

void WidgetStoreTest::numbersAreHeldToTheirRange() {
    QFETCH(QString, key);
    QFETCH(double, stored);
    QFETCH(double, read);
    store(QJsonDocument(QJsonObject{{key, stored}}).toJson());
    if (stored != read)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(key + ".*outside"));
    WidgetStore widgets(ModuleRegistry::shared(), *m_defaults);
    const QByteArray name = key.mid(QStringLiteral("store.").size()).toLatin1();
    QCOMPARE(widgets.property(name).toDouble(), read);
    // Reported once per run, not at every read.
    QTest::failOnWarning(QRegularExpression("outside"));
    WidgetStore again(ModuleRegistry::shared(), *m_defaults);
    QCOMPARE(again.property(name).toDouble(), read);
    // The stored value is left as it is: only the reading is held.
    QCOMPARE(onDisk().value(key).toDouble(), stored);
}

QTEST_GUILESS_MAIN(WidgetStoreTest)
#include "tst_widgetstore.moc"
