#include "ManualClock.h"
#include "TestEnvironment.h"
#include "answer/ChatHistoryStore.h"
#include "answer/KeychainStore.h"
#include "platform/Defaults.h"

#include <QAbstractItemModelTester>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using namespace notchora;

// What the answer client keeps on disk: the chat history with the two list models over it
// (each checked by a model tester), and the secrets.
class AnswerStorageTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<ManualClock> m_clock;

    std::unique_ptr<ChatHistoryStore> makeStore() {
        auto store = std::make_unique<ChatHistoryStore>(path(), *m_defaults, *m_clock);
        // Each tester lives as long as its model.
        for (QAbstractItemModel* model : std::initializer_list<QAbstractItemModel*>{
                 store->threadsModel(), store->messagesModel()})
            new QAbstractItemModelTester(
                model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
        return store;
    }
    ChatMessage user(const QString& text) {
        return ChatMessage::make(ChatMessage::Role::User, text, m_clock->now());
    }
    ChatMessage assistant(const QString& text) {
        return ChatMessage::make(ChatMessage::Role::Assistant, text, m_clock->now(), false, 0.5);
    }
    QString path() const { return m_env->dataHome() + "/Notchora/history.json"; }
    std::optional<QList<ChatThread>> saved() const {
        return ChatHistoryFile::decode(test::readFile(path()));
    }
    static QByteArray fixture(const QString& name) {
        return test::readFile(QFINDTESTDATA(name)).trimmed();
    }
    static QVariantMap row(const QAbstractListModel* model, int row) {
        QVariantMap values;
        const auto roles = model->roleNames();
        for (auto it = roles.begin(); it != roles.end(); ++it)
            values.insert(QString::fromLatin1(it.value()), model->index(row).data(it.key()));
        return values;
    }
    static QStringList column(const QAbstractListModel* model, const char* role) {
        QStringList values;
        for (int i = 0; i < model->rowCount(); ++i)
            values << row(model, i).value(role).toString();
        return values;
    }
    std::optional<QString> loadAndWait(KeychainStore& store, const QString& account) {
        std::optional<std::optional<QString>> result;
        store.load(account, this, [&](std::optional<QString> value) { result.emplace(value); });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 20000); }();
        return result.value_or(std::nullopt);
    }
    void waitIdle(KeychainStore& store) {
        QSignalSpy idle(&store, &KeychainStore::idle);
        QVERIFY(!store.isBusy() || idle.wait(20000));
    }
    QString secretsPath() const { return m_env->dataHome() + "/Notchora/secrets.json"; }

private slots:
    void init() {
        m_env = std::make_unique<test::TestEnvironment>();
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
        m_clock = std::make_unique<ManualClock>();
    }
    void fixtureRoundTrip() {
        const QByteArray original = fixture("history-fixture.json");
        QVERIFY(test::writeFile(path(), original));
        auto store = makeStore();
        const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        const auto uuid = [](const char* text) { return QUuid::fromString(QLatin1String(text)); };
        const ChatThread first{
            uuid("6f1c1e0a-3b5d-4c2e-9a7b-1d2e3f405162"),
            "Apa isi layar ini?",
            reference.addMSecs(786000004500),
            {{uuid("0a1b2c3d-4e5f-4061-8273-94a5b6c7d8e9"), ChatMessage::Role::User,
              "Apa isi layar ini?", std::nullopt, reference.addMSecs(786000000250), true},
             {uuid("1b2c3d4e-5f60-4172-8384-a5b6c7d8e9fa"), ChatMessage::Role::Assistant,
              QStringLiteral("**Pilihan:** B\n\nLayar menampilkan \U0001F1EE\U0001F1E9 dan é."),
              0.82, reference.addMSecs(786000004500), false}},
            QString("Ringkasan percakapan sebelumnya.")};
        QCOMPARE(store->threads().size(), 2);
        QCOMPARE(store->threads().first(), first);
        // A new start continues the most recent thread.
        QCOMPARE(store->currentID(), first.id);
        // Writing back gives the same bytes: upper-case ids, reference-date seconds, optional
        // keys left out, compact.
        QFile::remove(path());
        store->applyPersistenceSetting();
        QCOMPARE(test::readFile(path()), original);
    }
    void textEncoding_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("quotes and backslashes") << R"(say "hi" \ C:\path)";
        QTest::newRow("control characters") << QString::fromUtf8("a\x01b\x1f\b\f\n\r\tc\x7f");
        QTest::newRow("non-ASCII") << QString::fromUtf8("é ß 中文 \u2028 \U0001F1EE\U0001F1E9");
        QTest::newRow("slash") << "a/b</script>";
        QTest::newRow("lone surrogate") << QString(QChar(0xd800)) + "x" + QChar(0xdc00);
    }
    void textEncoding() {
        QFETCH(QString, text);
        ChatThread thread{QUuid::createUuid(), text, m_clock->now(), {user(text)}, text};
        const QByteArray encoded = ChatHistoryFile::encode({thread});
        const auto decoded = ChatHistoryFile::decode(encoded);
        QVERIFY(decoded);
        QCOMPARE(decoded->first(), thread);
    }
    void decodeRejects_data() {
        QTest::addColumn<QByteArray>("content");
        const QByteArray good = fixture("history-fixture.json");
        QTest::newRow("not JSON") << QByteArray("[{\"id\":");
        QTest::newRow("object instead of array") << QByteArray("{}");
        QTest::newRow("lower-case role typo")
            << QByteArray(good).replace("\"assistant\"", "\"Assistant\"");
        QTest::newRow("bad UUID") << QByteArray(good).replace("C0FFEE00", "XYZ");
        // Dates out of any range are refused, not turned into some other date.
        QTest::newRow("message date 1e300") << QByteArray(good).replace("786000000.25", "1e300");
        QTest::newRow("thread date past 64-bit milliseconds")
            << QByteArray(good).replace("\"updatedAt\":786000004.5", "\"updatedAt\":-1e19");
    }
    void decodeRejects() {
        QFETCH(QByteArray, content);
        QVERIFY(!ChatHistoryFile::decode(content));
    }
    void undecodableFileIsKeptAside() {
        const QByteArray content = fixture("history-missing-hadimages.json");
        QVERIFY(test::writeFile(path(), content));
        auto store = makeStore();
        QVERIFY(store->threads().isEmpty());
        QCOMPARE(test::readFile(store->lastBackupPath()), content);
        store->append(user("Baru"));
        QCOMPARE(saved()->size(), 1);
    }
    void titles_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        const QString flags = QStringLiteral("\U0001F1EE\U0001F1E9").repeated(50);
        QTest::newRow("only spaces") << " \n\t " << QString("Percakapan");
        QTest::newRow("trimmed") << "  Halo dunia \n" << QString("Halo dunia");
        QTest::newRow("100 characters") << QString(100, 'x') << QString(44, 'x');
        QTest::newRow("flags are not split") << flags << flags.left(44 * 4);
    }
    void titles() {
        QFETCH(QString, text);
        QFETCH(QString, title);
        auto store = makeStore();
        store->append(user(text));
        QCOMPARE(store->currentThread()->title, title);
        QCOMPARE(store->currentThread()->messages.first().text, text);
    }
    // How rows change (one by one, never by a reset) is the keyed rows' part, tested with the
    // other list models; here what the rows say.
    void appendingAddsOneRow() {
        auto store = makeStore();
        store->append(user("Halo"));
        m_clock->advance(5);
        const ChatMessage answer =
            ChatMessage::make(ChatMessage::Role::Assistant, "Hai", m_clock->now(), true, 0.75);
        store->append(answer);
        QCOMPARE(row(store->messagesModel(), 1), (QVariantMap{{"messageID", answer.idString()},
                                                              {"role", "assistant"},
                                                              {"text", "Hai"},
                                                              {"createdAt", m_clock->now()},
                                                              {"hadImages", true},
                                                              {"hasConfidence", true},
                                                              {"confidence", 0.75}}));
        QCOMPARE(row(store->threadsModel(), 0),
                 (QVariantMap{{"threadID", uuidString(*store->currentID())},
                              {"title", "Halo"},
                              {"updatedAt", m_clock->now()},
                              {"messageCount", 2},
                              {"isCurrent", true}}));
    }
    // The 201st message drops the oldest (the title stays), the 31st thread the oldest thread.
    void theOldestIsDroppedAtTheLimits() {
        auto store = makeStore();
        for (int i = 0; i <= 200; ++i)
            store->append(user(i < 200 ? QString::number(i) : "baru"));
        const QStringList texts = column(store->messagesModel(), "text");
        QCOMPARE(texts.size(), 200);
        QCOMPARE((QStringList{texts.first(), texts.last()}), (QStringList{"1", "baru"}));
        QCOMPARE(column(store->threadsModel(), "title"), QStringList{"0"});
        for (int i = 1; i <= 30; ++i) {
            store->setCurrentID(std::nullopt);
            store->append(user(QString("t%1").arg(i)));
        }
        const QStringList titles = column(store->threadsModel(), "title");
        QCOMPARE(titles.size(), 30);
        QCOMPARE((QStringList{titles.first(), titles.last()}), (QStringList{"t30", "t1"}));
        QCOMPARE(saved()->size(), 30);
    }
    void appendingToAnOlderThreadMovesItToTheFront() {
        auto store = makeStore();
        store->append(user("lama"));
        const QUuid older = *store->currentID();
        store->setCurrentID(std::nullopt);
        QCOMPARE(store->messagesModel()->rowCount(), 0);
        store->append(user("baru"));
        m_clock->advance(90);
        const auto* threads = store->threadsModel();
        QSignalSpy threadsChanged(store.get(), &ChatHistoryStore::threadsChanged);
        store->select(older);
        QCOMPARE(column(threads, "isCurrent"), (QStringList{"false", "true"}));
        QCOMPARE(column(store->messagesModel(), "text"), QStringList{"lama"});
        store->append(assistant("jawaban"));
        QCOMPARE(threadsChanged.count(), 1);
        QCOMPARE(column(threads, "title"), (QStringList{"lama", "baru"}));
        QCOMPARE(store->threads().first().updatedAt, m_clock->now());
        QCOMPARE(saved()->first().id, older);
    }
    void removeLastMessage() {
        auto store = makeStore();
        store->append(user("pertanyaan"));
        store->append(assistant("jawaban"));
        // Only a last message of the given role goes.
        store->removeLastMessage(ChatMessage::Role::User);
        store->append(user("gagal"));
        store->removeLastMessage(ChatMessage::Role::User);
        QCOMPARE(saved()->first().messages.size(), 2);
        // Taking back the only message takes the thread with it.
        store->setCurrentID(std::nullopt);
        store->append(user("satu-satunya"));
        QSignalSpy currentChanged(store.get(), &ChatHistoryStore::currentIDChanged);
        store->removeLastMessage(ChatMessage::Role::User);
        QCOMPARE(store->threadsModel()->rowCount(), 1);
        QCOMPARE(store->messagesModel()->rowCount(), 0);
        QVERIFY(!store->currentID());
        QCOMPARE(currentChanged.count(), 1);
        QCOMPARE(saved()->size(), 1);
    }
    void compaction() {
        auto store = makeStore();
        for (const char* text : {"a", "b", "c"})
            store->append(QLatin1String(text) == "b" ? assistant(text) : user(text));
        const ChatThread before = *store->currentThread();
        store->setCurrentID(std::nullopt);
        store->append(user("lain"));
        store->applyCompaction(before.id, "Ringkasan",
                               {before.messages[0].id, before.messages[1].id, QUuid::createUuid()});
        ChatThread expected = before;
        expected.summary = "Ringkasan";
        expected.messages.remove(0, 2);
        QCOMPARE(store->threads()[1], expected);
        QCOMPARE(saved()->at(1), expected);
        store->applyCompaction(before.id, "Ringkasan baru", {});
        QCOMPARE(store->threads()[1].summary, QString("Ringkasan baru"));
        const auto threads = store->threads();
        store->applyCompaction(QUuid::createUuid(), "x", {});
        QCOMPARE(store->threads(), threads);
    }
    // Off at start, the file is neither read nor written; switched on, it is; off again, it goes.
    void savingSwitchedOffAndOnAndClearing() {
        QVERIFY(test::writeFile(path(), fixture("history-fixture.json")));
        m_defaults->setBool("ai.saveHistory", false);
        auto store = makeStore();
        QVERIFY(store->threads().isEmpty());
        store->append(user("satu"));
        QCOMPARE(test::readFile(path()), fixture("history-fixture.json"));
        m_defaults->setBool("ai.saveHistory", true);
        QCOMPARE(saved().value_or(QList<ChatThread>()), store->threads());
        m_defaults->setBool("ai.saveHistory", false);
        QVERIFY(!QFileInfo::exists(path()));
        store->append(user("dua"));
        QVERIFY(!QFileInfo::exists(path()));
        QCOMPARE(store->currentThread()->messages.size(), 2);
        // Clearing everything takes the file with it.
        m_defaults->setBool("ai.saveHistory", true);
        QVERIFY(QFileInfo::exists(path()));
        QSignalSpy currentChanged(store.get(), &ChatHistoryStore::currentIDChanged);
        store->clearAll();
        QVERIFY(store->threads().isEmpty());
        QCOMPARE(store->threadsModel()->rowCount() + store->messagesModel()->rowCount(), 0);
        QCOMPARE(currentChanged.count(), 1);
        QVERIFY(!QFileInfo::exists(path()));
    }
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
        QCOMPARE(loadAndWait(store, "other"), QString("v"));
    }
    void unreadableFileIsKeptAside() {
        const QByteArray broken = "{\"soalika-answer\": {\"refresh_token\": ";
        QVERIFY(test::writeFile(secretsPath(), broken));
        const ManualClock clock(QDateTime(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::LocalTime));
        KeychainStore store(secretsPath(), KeychainStore::Backend::File, clock);
        store.save("geheim", "refresh_token");
        waitIdle(store);
        // The broken file is not overwritten but moved aside (how, the private file's test says).
        QCOMPARE(test::readFile(secretsPath() + ".unreadable-20240309-140507"), broken);
        QCOMPARE(loadAndWait(store, "refresh_token"), QString("geheim"));
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
        QDBusConnectionInterface* daemon = QDBusConnection::sessionBus().interface();
        if (secretTool.isEmpty() || !daemon ||
            !daemon->isServiceRegistered("org.freedesktop.secrets").value())
            QSKIP("needs secret-tool and the Secret Service gnome-keyring starts");
        KeychainStore store(secretsPath(), KeychainStore::Backend::SecretService);
        store.save("abc", KeychainStore::refreshTokenAccount);
        store.save("abc", KeychainStore::refreshTokenAccount);
        waitIdle(store);
        auto itemCount = [&] {
            QProcess search;
            search.setProcessChannelMode(QProcess::MergedChannels);
            search.start(secretTool, {"search", "--all", "server", KeychainStore::service, "user",
                                      KeychainStore::refreshTokenAccount});
            search.waitForFinished(20000);
            return int(("\n" + search.readAll()).count("\n["));
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

QTEST_GUILESS_MAIN(AnswerStorageTest)
#include "tst_answerstorage.moc"
