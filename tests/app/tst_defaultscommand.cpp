#include "ProgramRun.h"
#include "TestEnvironment.h"
#include "platform/Defaults.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace notchora;

namespace {
test::ProgramRun run(const QStringList& args) {
    return test::runNotchora(QStringList{"defaults"} + args);
}
} // namespace

class DefaultsCommandTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TestEnvironment> m_env;

private slots:
    void init() { m_env = std::make_unique<test::TestEnvironment>(); }
    void writeThenRead_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("printed");
        for (const char* value : {"false", "1.25", "\"Tangkapan layar ✓\""})
            QTest::newRow(value) << QString(value) << QString(value);
        QTest::newRow("array") << "[\"assistant\",\"shortcuts\"]"
                               << "[\n    \"assistant\",\n    \"shortcuts\"\n]";
    }
    void writeThenRead() {
        QFETCH(QString, value);
        QFETCH(QString, printed);
        QCOMPARE(run({"write", "some.key", value}).exitCode, 0);
        const test::ProgramRun read = run({"read", "some.key"});
        QCOMPARE((std::pair{read.exitCode, read.out}), (std::pair{0, printed}));
        QVERIFY(QJsonDocument::fromJson(run({"read"}).out.toUtf8()).object().contains("some.key"));
        QCOMPARE(run({"delete", "some.key"}).exitCode, 0);
        QVERIFY(run({"read", "some.key"}).exitCode != 0);
    }
    void rejectsBadInput_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("bare word is not JSON") << QStringList{"write", "k", "yes"} << "bukan JSON";
        QTest::newRow("two values") << QStringList{"write", "k", "1 2"} << "bukan JSON";
        QTest::newRow("truncated array") << QStringList{"write", "k", "[1,"} << "bukan JSON";
        QTest::newRow("missing key on read") << QStringList{"read", "nope"} << "tidak ada";
        QTest::newRow("missing key on delete") << QStringList{"delete", "nope"} << "tidak ada";
        QTest::newRow("unknown verb") << QStringList{"frobnicate"} << "Pemakaian";
        QTest::newRow("write without value") << QStringList{"write", "k"} << "Pemakaian";
        QTest::newRow("domain with a slash") << QStringList{"--domain", "../x", "read"} << "domain";
        QTest::newRow("domain ending in a newline")
            << QStringList{"--domain", "x\n", "write", "k", "1"} << "domain";
        // What the messages repeat of the input is cut (checked for every row below).
        QTest::newRow("huge value")
            << QStringList{"write", "k", QString(100000, 'v')} << "bukan JSON";
        QTest::newRow("huge key") << QStringList{"read", QString(100000, 'k')} << "tidak ada";
        QTest::newRow("huge domain")
            << QStringList{"--domain", QString(100000, 'd') + "/", "read"} << "domain";
        QTest::newRow("huge valid domain")
            << QStringList{"--domain", QString(100000, 'd'), "read", "k"} << "tidak ada";
    }
    void rejectsBadInput() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const test::ProgramRun result = run(args);
        QVERIFY2(result.exitCode > 0 && result.err.contains(message) && result.err.size() < 400,
                 qPrintable(result.err.left(400)));
        QVERIFY(!QFile::exists(m_env->configHome() + "/notchora/defaults.json"));
    }
    void domainsAreSeparateFiles() {
        QCOMPARE(run({"--domain", "screencapture", "write", "location", "1"}).exitCode, 0);
        QCOMPARE(run({"--domain=screencapture", "read", "location"}).out, "1");
        QVERIFY(run({"read", "location"}).exitCode != 0);
        QVERIFY(QFile::exists(m_env->configHome() + "/notchora/screencapture.json"));
    }
    void readChangesNothing_data() {
        QTest::addColumn<bool>("folder"); // a folder where the file should be, else broken JSON
        QTest::newRow("broken JSON") << false;
        QTest::newRow("a folder in its place") << true;
    }
    // A read reports a file it cannot use and exits non-zero; the file stays where it is, and
    // nothing is set aside.
    void readChangesNothing() {
        QFETCH(bool, folder);
        const QString dir = m_env->configHome() + "/notchora";
        const QString path = dir + "/defaults.json";
        if (folder)
            QVERIFY(QDir().mkpath(path));
        else
            QVERIFY(test::writeFile(path, "{\"store.widgetScale\": 1.2,"));
        // Reading one key reads the whole file first, the same way.
        const test::ProgramRun result = run({"read"});
        QVERIFY2(result.exitCode == 1 && result.err.contains("Tidak bisa membaca"),
                 qPrintable(result.err));
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"defaults.json"});
        if (!folder)
            QCOMPARE(test::readFile(path), QByteArray("{\"store.widgetScale\": 1.2,"));
    }
    // Writers from the command line at once, while the program writes its own keys: every key
    // of every writer is in the file afterwards. Without the lock a few dozen already lose
    // keys; hundreds only measure how long a writer waits its turn (longer than the lock's
    // patience under the sanitizers).
    void parallelWritersKeepEveryKey() {
        constexpr int writers = 40;
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < writers; ++i) {
            auto process = std::make_unique<QProcess>();
            process->start(test::TestEnvironment::binary("notchora"),
                           {"defaults", "write", QString("writer.%1").arg(i), QString::number(i)});
            processes.push_back(std::move(process));
        }
        Defaults program(m_env->configHome() + "/notchora/defaults.json");
        for (int i = 0; i < 20; ++i)
            QVERIFY(program.setDouble(QString("program.%1").arg(i), i));
        for (auto& process : processes) {
            QVERIFY(process->waitForFinished(60'000));
            QCOMPARE(process->exitCode(), 0);
        }
        const QJsonObject stored =
            QJsonDocument::fromJson(test::readFile(m_env->configHome() + "/notchora/defaults.json"))
                .object();
        for (int i = 0; i < writers; ++i) {
            QCOMPARE(stored.value(QString("writer.%1").arg(i)).toInt(-1), i);
            QCOMPARE(stored.value(QString("program.%1").arg(i % 20)).toInt(-1), i % 20);
        }
    }
};

QTEST_GUILESS_MAIN(DefaultsCommandTest)
#include "tst_defaultscommand.moc"
