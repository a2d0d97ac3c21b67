#include "ManualClock.h"
#include "TestEnvironment.h"
#include "answer/KeychainStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace notchora;

class KeychainStoreTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TestEnvironment> m_env;

    std::optional<QString> loadAndWait(KeychainStore& store, const QString& account) {
        bool done = false;
        std::optional<QString> result;
        store.load(account, this, [&](std::optional<QString> value) {
            result = std::move(value);
            done = true;
        });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(done, 20000); }();
        return result;
    }
    void waitIdle(KeychainStore& store) {
        QSignalSpy idle(&store, &KeychainStore::idle);
        QVERIFY(!store.isBusy() || idle.wait(20000));
    }
    QString secretsPath() const { return m_env->dataHome() + "/Notchora/secrets.json"; }

private slots:
    void init() { m_env = std::make_unique<test::TestEnvironment>(); }

    void fileStore() {
        KeychainStore store(secretsPath(), KeychainStore::Backend::File);
        const QString account = KeychainStore::refreshTokenAccount;
        QStringList order;
        const auto load = [&](std::optional<QString> value) {
            order << "load:" + value.value_or("none");
        };
        bool dropped = false;
        {
            QObject gone; // the save still happens, the callback does not
            store.save("v", "other", &gone, [&] { dropped = true; });
        }
        store.save("first", account, this, [&] { order << "save"; });
        store.remove(account, this, [&] { order << "remove"; });
        store.load(account, this, load);
        store.save("second", account);
        store.save("second", account); // deleted, then added again: still one item
        store.load(account, this, load);
        waitIdle(store);
        QCOMPARE(order, (QStringList{"save", "remove", "load:none", "load:second"}));
        QVERIFY(!dropped);
        const QByteArray raw = test::readFile(secretsPath());
        QCOMPARE(raw.count("refresh_token"), 1);
        QCOMPARE(raw.count("second"), 1);
        // A fresh store (a new run) reads the same file.
        KeychainStore again(secretsPath(), KeychainStore::Backend::File);
        QCOMPARE(loadAndWait(again, "other"), QString("v"));
        QCOMPARE(loadAndWait(again, account), QString("second"));
        QVERIFY(!loadAndWait(again, "missing"));
    }
    void unreadableFileIsKeptAside() {
        QVERIFY(test::writeFile(secretsPath(), "{\"soalika-answer\": {\"refresh_token\": "));
        const ManualClock clock(QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::LocalTime));
        KeychainStore store(secretsPath(), KeychainStore::Backend::File, clock);
        store.save("geheim", "refresh_token");
        waitIdle(store);
        // The broken file is not overwritten: it moved aside, and the new one is private.
        QCOMPARE(test::readFile(secretsPath() + ".unreadable-20240309-140507"),
                 QByteArray("{\"soalika-answer\": {\"refresh_token\": "));
        QCOMPARE(loadAndWait(store, "refresh_token"), QString("geheim"));
        QCOMPARE(test::fileMode(secretsPath()), 0600);
    }
    void environmentForcesTheFile() {
        using Backend = KeychainStore::Backend;
        const QByteArray previous = qgetenv(KeychainStore::backendVariable);
        const std::pair<const char*, Backend> rows[] = {{"file", Backend::File},
                                                        {"FILE", Backend::File},
                                                        {"secret-service", Backend::SecretService},
                                                        {"", Backend::Automatic},
                                                        {"kwallet", Backend::Automatic}};
        for (const auto& [value, backend] : rows) {
            qputenv(KeychainStore::backendVariable, value);
            QCOMPARE(KeychainStore::backendFromEnvironment(), backend);
        }
        qputenv(KeychainStore::backendVariable, previous);
    }
    void automaticWithoutSessionBusUsesTheFile() {
        if (qEnvironmentVariableIsSet("NOTCHORA_TEST_SECRET_SERVICE"))
            QSKIP("runs outside the private D-Bus session");
        // Nobody listens at this address, so there is no session bus and no secret service.
        qputenv("DBUS_SESSION_BUS_ADDRESS",
                "unix:path=" + QFile::encodeName(m_env->root()) + "/none");
        KeychainStore store(secretsPath(), KeychainStore::Backend::Automatic);
        store.save("abc", "refresh_token");
        waitIdle(store);
        QCOMPARE(store.activeBackend(), KeychainStore::Backend::File);
        QCOMPARE(loadAndWait(store, "refresh_token"), QString("abc"));
        QVERIFY(QFileInfo::exists(secretsPath()));
    }
    void secretServiceDeleteThenAdd() {
        if (!qEnvironmentVariableIsSet("NOTCHORA_TEST_SECRET_SERVICE"))
            QSKIP("needs the private Secret Service that with-secret-service.sh starts");
        const QString secretTool = QStandardPaths::findExecutable("secret-tool");
        if (secretTool.isEmpty())
            QSKIP("secret-tool (libsecret-tools) is not installed");
        QDBusConnectionInterface* daemon = QDBusConnection::sessionBus().interface();
        if (!daemon || !daemon->isServiceRegistered("org.freedesktop.secrets").value())
            QSKIP("gnome-keyring did not start a Secret Service in the private session");
        KeychainStore store(secretsPath(), KeychainStore::Backend::SecretService);
        store.save("abc", KeychainStore::refreshTokenAccount);
        store.save("abc", KeychainStore::refreshTokenAccount);
        waitIdle(store);
        QCOMPARE(loadAndWait(store, "refresh_token"), QString("abc"));
        auto itemCount = [&] {
            QProcess search;
            search.setProcessChannelMode(QProcess::MergedChannels);
            search.start(secretTool, {"search", "--all", "server", KeychainStore::service, "user",
                                      KeychainStore::refreshTokenAccount});
            search.waitForFinished(20000);
            int count = 0;
            for (const QByteArray& line : search.readAll().split('\n'))
                count += line.startsWith('[') ? 1 : 0;
            return count;
        };
        QCOMPARE(itemCount(), 1);
        // The secret went to the keyring, not to the fallback file.
        QVERIFY(!QFileInfo::exists(secretsPath()));
        // Left to itself, a store finds the running secret service and reads the same item.
        KeychainStore automatic(secretsPath(), KeychainStore::Backend::Automatic);
        QCOMPARE(loadAndWait(automatic, "refresh_token"), QString("abc"));
        QCOMPARE(automatic.activeBackend(), KeychainStore::Backend::SecretService);
        store.remove(KeychainStore::refreshTokenAccount);
        waitIdle(store);
        QCOMPARE(itemCount(), 0);
        QVERIFY(!loadAndWait(store, "refresh_token"));
    }
    // A secret service that is on the bus but fails a call (here: a name with nothing behind it)
    // does not send the secret to the file; once no secret service is on the bus, the file takes
    // over.
    void failedCallKeepsTheSecretOutOfTheFile() {
        if (!qEnvironmentVariableIsSet("NOTCHORA_TEST_PRIVATE_BUS"))
            QSKIP("needs the private session bus that its ctest entry starts");
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerService("org.freedesktop.secrets"));
        KeychainStore store(secretsPath(), KeychainStore::Backend::Automatic);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("secret service failed a call"));
        store.save("abc", KeychainStore::refreshTokenAccount);
        waitIdle(store);
        QVERIFY(!QFileInfo::exists(secretsPath()));
        QCOMPARE(store.activeBackend(), KeychainStore::Backend::SecretService);
        QVERIFY(bus.unregisterService("org.freedesktop.secrets"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no secret service on the bus"));
        store.save("abc", KeychainStore::refreshTokenAccount);
        waitIdle(store);
        QCOMPARE(store.activeBackend(), KeychainStore::Backend::File);
        QCOMPARE(loadAndWait(store, "refresh_token"), QString("abc"));
    }
};

QTEST_GUILESS_MAIN(KeychainStoreTest)
#include "tst_keychainstore.moc"
