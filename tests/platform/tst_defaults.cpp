#include "TestEnvironment.h"
#include "platform/Defaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;
using notchora::test::readFile;
using notchora::test::writeFile;

class DefaultsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_env = std::make_unique<test::TestEnvironment>(); }
    void typedReads_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QVariant>("asBool");
        QTest::addColumn<QVariant>("asDouble");
        QTest::addColumn<QVariant>("asInteger");
        QTest::addColumn<QVariant>("asString");
        QTest::addColumn<QVariant>("asList");
        const QVariant none;
        QTest::newRow("bool") << QByteArray("true") << QVariant(true) << none << none << none
                              << none;
        QTest::newRow("whole number")
            << QByteArray("2") << none << QVariant(2.0) << QVariant(qint64(2)) << none << none;
        QTest::newRow("fraction") << QByteArray("0.3") << none << QVariant(0.3) << none << none
                                  << none;
        QTest::newRow("string") << QByteArray("\"yes\"") << none << none << none
                                << QVariant(QStringLiteral("yes")) << none;
        QTest::newRow("numeric text is text") << QByteArray("\"1.0\"") << none << none << none
                                              << QVariant(QStringLiteral("1.0")) << none;
        QTest::newRow("string list")
            << QByteArray(R"(["b","a"])") << none << none << none << none
            << QVariant(QStringList{QStringLiteral("b"), QStringLiteral("a")});
        QTest::newRow("mixed list")
            << QByteArray(R"(["a",1])") << none << none << none << none << none;
        QTest::newRow("null") << QByteArray("null") << none << none << none << none << none;
        QTest::newRow("object") << QByteArray(R"({"a":1})") << none << none << none << none << none;
    }
    void typedReads() {
        QFETCH(QByteArray, stored);
        QFETCH(QVariant, asBool);
        QFETCH(QVariant, asDouble);
        QFETCH(QVariant, asInteger);
        QFETCH(QVariant, asString);
        QFETCH(QVariant, asList);
        QVERIFY(writeFile(path(), "{\"k\": " + stored + "}"));
        Defaults store(path());
        auto toVariant = [](const auto& optional) {
            return optional ? QVariant::fromValue(*optional) : QVariant();
        };
        QCOMPARE(toVariant(store.boolValue(QStringLiteral("k"))), asBool);
        QCOMPARE(toVariant(store.doubleValue(QStringLiteral("k"))), asDouble);
        QCOMPARE(toVariant(store.integerValue(QStringLiteral("k"))), asInteger);
        QCOMPARE(toVariant(store.stringValue(QStringLiteral("k"))), asString);
        QCOMPARE(toVariant(store.stringListValue(QStringLiteral("k"))), asList);
        QVERIFY(!store.boolValue(QStringLiteral("missing")).has_value());
    }
    void writesPersistAtOnceAndAtomically() {
        Defaults store(path());
        QVERIFY(!QFile::exists(path()));
        QVERIFY(store.setDouble(QStringLiteral("store.widgetScale"), 1.2));
        QVERIFY(store.setStringList(QStringLiteral("store.moduleOrder"),
                                    {QStringLiteral("a"), QStringLiteral("b")}));
        const QJsonObject onDisk = QJsonDocument::fromJson(readFile(path())).object();
        QCOMPARE(onDisk.value(QStringLiteral("store.widgetScale")).toDouble(), 1.2);
        QCOMPARE(onDisk.value(QStringLiteral("store.moduleOrder")).toArray(),
                 QJsonArray({"a", "b"}));
        // A second reader sees exactly what was written.
        Defaults again(path());
        QCOMPARE(again.values(), store.values());
    }
    void removeAndSignals() {
        Defaults store(path());
        QSignalSpy spy(&store, &Defaults::changed);
        store.setBool(QStringLiteral("a"), true);
        store.setBool(QStringLiteral("a"), true); // same value: no change
        store.setBool(QStringLiteral("a"), false);
        store.remove(QStringLiteral("a"));
        store.remove(QStringLiteral("a")); // already gone
        QCOMPARE(spy.count(), 3);
        QVERIFY(!store.contains(QStringLiteral("a")));
        QVERIFY(!QJsonDocument::fromJson(readFile(path())).object().contains(QStringLiteral("a")));
    }
    void externalEditsAreReported_data() {
        QTest::addColumn<bool>("atomicReplace");
        QTest::newRow("rewritten in place") << false;
        QTest::newRow("replaced by rename") << true;
    }
    void externalEditsAreReported() {
        QFETCH(bool, atomicReplace);
        Defaults store(path());
        store.setDouble(QStringLiteral("keep"), 1);
        store.setDouble(QStringLiteral("edit"), 1);
        store.setDouble(QStringLiteral("drop"), 1);
        QSignalSpy spy(&store, &Defaults::changed);
        const QByteArray edited = R"({"keep": 1, "edit": 2, "new": "x"})";
        if (atomicReplace) {
            QVERIFY(writeFile(path() + ".tmp", edited));
            QFile::remove(path());
            QVERIFY(QFile::rename(path() + ".tmp", path()));
        } else {
            QVERIFY(writeFile(path(), edited));
        }
        QTRY_COMPARE(spy.count(), 3);
        QStringList keys;
        for (const auto& args : spy)
            keys << args.at(0).toString();
        keys.sort();
        QCOMPARE(keys, (QStringList{"drop", "edit", "new"}));
        QCOMPARE(store.doubleValue(QStringLiteral("edit")), 2.0);

        // The watch survives the replacement: a second edit is seen too.
        spy.clear();
        QVERIFY(writeFile(path(), R"({"keep": 5})"));
        QTRY_VERIFY(store.doubleValue(QStringLiteral("keep")) == 5.0);
    }
    void twoWritersNeverUndoEachOther() {
        Defaults first(path());
        Defaults second(path());
        first.setBool(QStringLiteral("a"), true);
        second.setBool(QStringLiteral("b"), true); // before `second` heard of "a"
        const QJsonObject onDisk = QJsonDocument::fromJson(readFile(path())).object();
        QVERIFY(onDisk.value(QStringLiteral("a")).toBool());
        QVERIFY(onDisk.value(QStringLiteral("b")).toBool());
    }
    // Naming and copying the backup are PrivateFile's; here a file that is not an object is
    // one to keep.
    void unreadableFileIsKeptAside() {
        const QByteArray content = R"([1, 2])";
        QVERIFY(writeFile(path(), content));
        Defaults store(path());
        QVERIFY(store.values().isEmpty());
        QVERIFY(store.lastBackupPath().startsWith(path() + ".unreadable-"));
        QCOMPARE(readFile(store.lastBackupPath()), content);
        store.setBool(QStringLiteral("a"), true);
        QCOMPARE(readFile(store.lastBackupPath()), content);
        QVERIFY(
            QJsonDocument::fromJson(readFile(path())).object().value(QStringLiteral("a")).toBool());
    }
    void unreadableExternalEditIsCopiedBeforeOverwrite() {
        Defaults store(path());
        store.setBool(QStringLiteral("a"), true);
        QVERIFY(writeFile(path(), "{ broken"));
        QTRY_VERIFY(!store.lastBackupPath().isEmpty());
        QVERIFY(store.boolValue(QStringLiteral("a")).value_or(false)); // what we had is kept
        store.setBool(QStringLiteral("b"), true);
        QCOMPARE(readFile(store.lastBackupPath()), QByteArray("{ broken"));
        const QJsonObject onDisk = QJsonDocument::fromJson(readFile(path())).object();
        QVERIFY(onDisk.value(QStringLiteral("a")).toBool() &&
                onDisk.value(QStringLiteral("b")).toBool());
    }
    void failedWriteKeepsValueAndReports() {
        // The config folder cannot be created because a file sits where it should be.
        QVERIFY(writeFile(m_env->configHome() + "/blocked", "file"));
        Defaults store(m_env->configHome() + "/blocked/notchora/defaults.json");
        QSignalSpy spy(&store, &Defaults::changed);
        QVERIFY(!store.setBool(QStringLiteral("a"), true));
        QCOMPARE(store.boolValue(QStringLiteral("a")), std::optional(true));
        QCOMPARE(spy.count(), 1);
    }

private:
    QString path() const { return m_env->configHome() + QStringLiteral("/notchora/defaults.json"); }
    std::unique_ptr<test::TestEnvironment> m_env;
};

QTEST_GUILESS_MAIN(DefaultsTest)
#include "tst_defaults.moc"
