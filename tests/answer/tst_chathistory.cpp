#include "ManualClock.h"
#include "TestEnvironment.h"
#include "answer/ChatHistoryStore.h"
#include "platform/Defaults.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;

// The store, its file and the two list models over it (each checked by a model tester).
class ChatHistoryTest : public QObject {
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
    static QVariant data(const QAbstractListModel* model, int row, const char* role) {
        return model->index(row).data(model->roleNames().key(role));
    }

private slots:
    void init() {
        m_env = std::make_unique<test::TestEnvironment>();
        m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
        m_clock = std::make_unique<ManualClock>();
    }
    void fixtureRoundTrip() {
        const QByteArray original = fixture("history-fixture.json");
        QVERIFY(!original.isEmpty());
        QVERIFY(test::writeFile(path(), original));
        auto store = makeStore();
        QCOMPARE(store->threads().size(), 2);
        const ChatThread& first = store->threads().first();
        // A new start continues the most recent thread.
        QCOMPARE(store->currentID(), first.id);
        QCOMPARE(first.id,
                 QUuid::fromString(QStringLiteral("6f1c1e0a-3b5d-4c2e-9a7b-1d2e3f405162")));
        QCOMPARE(first.title, "Apa isi layar ini?");
        QCOMPARE(first.summary, QString("Ringkasan percakapan sebelumnya."));
        const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        QCOMPARE(first.updatedAt, reference.addMSecs(786000004500));
        QCOMPARE(first.messages.size(), 2);
        QCOMPARE(first.messages[0].role, ChatMessage::Role::User);
        QVERIFY(first.messages[0].hadImages);
        QVERIFY(!first.messages[0].confidence);
        QCOMPARE(first.messages[1].confidence, 0.82);
        QVERIFY(first.messages[1].text.contains(QStringLiteral("\U0001F1EE\U0001F1E9")));
        QVERIFY(!store->threads()[1].summary);
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
        // Written exactly as the platform's JSON writer would write it.
        if (text.isValidUtf16()) {
            const QByteArray reference =
                QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
            QVERIFY(encoded.contains(reference.mid(1, reference.size() - 2)));
        }
    }
    void decodeRejects_data() {
        QTest::addColumn<QByteArray>("content");
        const QByteArray good = fixture("history-fixture.json");
        QTest::newRow("message without hadImages") << fixture("history-missing-hadimages.json");
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
        QVERIFY(!store->currentID());
        const QString backup = store->lastBackupPath();
        QVERIFY(!backup.isEmpty());
        QCOMPARE(test::readFile(backup), content);
        store->append(user("Baru"));
        QCOMPARE(test::readFile(backup), content);
        QCOMPARE(saved()->size(), 1);
        QCOMPARE(test::fileMode(path()), 0600);
    }
    void titles_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QString flags;
        for (int i = 0; i < 50; ++i)
            flags += QStringLiteral("\U0001F1EE\U0001F1E9");
        QTest::newRow("only spaces") << " \n\t " << QString("Percakapan");
        QTest::newRow("trimmed") << "  Halo dunia \n" << QString("Halo dunia");
        QTest::newRow("100 characters") << QString(100, 'x') << QString(44, 'x');
        QTest::newRow("trim before cut") << "   " + QString(50, 'y') << QString(44, 'y');
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
    void appendingAddsOneRow() {
        auto store = makeStore();
        store->append(user("Halo"));
        const auto* messages = store->messagesModel();
        const auto* threads = store->threadsModel();
        QSignalSpy inserted(messages, &QAbstractItemModel::rowsInserted);
        QSignalSpy resets(messages, &QAbstractItemModel::modelReset);
        QSignalSpy threadChanged(threads, &QAbstractItemModel::dataChanged);
        m_clock->advance(5);
        const ChatMessage answer =
            ChatMessage::make(ChatMessage::Role::Assistant, "Hai", m_clock->now(), true, 0.75);
        store->append(answer);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(messages->rowCount(), 2);
        QCOMPARE(data(messages, 1, "messageID").toString(), answer.idString());
        QCOMPARE(data(messages, 1, "role").toString(), "assistant");
        QCOMPARE(data(messages, 1, "text").toString(), "Hai");
        QCOMPARE(data(messages, 1, "createdAt").toDateTime(), m_clock->now());
        QCOMPARE(data(messages, 1, "hadImages").toBool(), true);
        QCOMPARE(data(messages, 1, "confidence").toDouble(), 0.75);
        QCOMPARE(threadChanged.count(), 1);
        QCOMPARE(data(threads, 0, "messageCount").toInt(), 2);
        QCOMPARE(data(threads, 0, "updatedAt").toDateTime(), m_clock->now());
        QCOMPARE(data(threads, 0, "title").toString(), "Halo");
        QCOMPARE(data(threads, 0, "isCurrent").toBool(), true);
    }
    void the31stThreadDropsTheOldest() {
        auto store = makeStore();
        for (int i = 1; i <= 31; ++i) {
            store->setCurrentID(std::nullopt);
            store->append(user(QString("t%1").arg(i)));
            QCOMPARE(store->threads().last().title, i <= 30 ? "t1" : "t2");
        }
        QCOMPARE(store->threads().size(), 30);
        QCOMPARE(store->threads().first().title, "t31");
        QCOMPARE(store->currentThread()->title, "t31");
        QCOMPARE(saved()->size(), 30);
    }
    // The 201st message drops the oldest, as one row; the title stays the first question's.
    void the201stMessageDropsTheOldest() {
        auto store = makeStore();
        for (int i = 0; i < 200; ++i)
            store->append(user(QString::number(i)));
        const auto* messages = store->messagesModel();
        QSignalSpy removed(messages, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(messages, &QAbstractItemModel::rowsInserted);
        store->append(user("baru"));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.first().at(1).toInt(), 0);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(messages->rowCount(), 200);
        QCOMPARE(data(messages, 0, "text").toString(), "1");
        QCOMPARE(data(messages, 199, "text").toString(), "baru");
        QCOMPARE(data(store->threadsModel(), 0, "title").toString(), "0");
    }
    void appendingToAnOlderThreadMovesItToTheFront() {
        auto store = makeStore();
        store->append(user("lama"));
        const QUuid older = *store->currentID();
        store->setCurrentID(std::nullopt);
        QCOMPARE(store->messagesModel()->rowCount(), 0);
        store->append(user("baru"));
        QCOMPARE(store->threads().first().title, "baru");
        m_clock->advance(90);
        const auto* threads = store->threadsModel();
        QSignalSpy threadsChanged(store.get(), &ChatHistoryStore::threadsChanged);
        QSignalSpy moved(threads, &QAbstractItemModel::rowsMoved);
        store->select(older);
        QCOMPARE(data(threads, 0, "isCurrent").toBool(), false);
        QCOMPARE(data(threads, 1, "isCurrent").toBool(), true);
        QCOMPARE(data(store->messagesModel(), 0, "text").toString(), "lama");
        store->append(assistant("jawaban"));
        QCOMPARE(threadsChanged.count(), 1);
        QCOMPARE(moved.count(), 1);
        QCOMPARE(data(threads, 0, "threadID").toString(), uuidString(older));
        QCOMPARE(store->messagesModel()->rowCount(), 2);
        QCOMPARE(store->threads().first().id, older);
        QCOMPARE(store->threads().first().updatedAt, m_clock->now());
        QCOMPARE(saved()->first().id, older);
    }
    void removeLastMessage() {
        auto store = makeStore();
        store->append(user("pertanyaan"));
        store->append(assistant("jawaban"));
        // Only a last message of the given role goes.
        QSignalSpy threadsChanged(store.get(), &ChatHistoryStore::threadsChanged);
        store->removeLastMessage(ChatMessage::Role::User);
        QCOMPARE(threadsChanged.count(), 0);
        store->append(user("gagal"));
        store->removeLastMessage(ChatMessage::Role::User);
        QCOMPARE(store->currentThread()->messages.size(), 2);
        QCOMPARE(saved()->first().messages.size(), 2);
        // Taking back the only message takes the thread with it.
        store->setCurrentID(std::nullopt);
        store->append(user("satu-satunya"));
        QCOMPARE(store->threads().size(), 2);
        QSignalSpy currentChanged(store.get(), &ChatHistoryStore::currentIDChanged);
        QSignalSpy removed(store->threadsModel(), &QAbstractItemModel::rowsRemoved);
        store->removeLastMessage(ChatMessage::Role::User);
        QCOMPARE(store->threads().size(), 1);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(store->messagesModel()->rowCount(), 0);
        QVERIFY(!store->currentID());
        QCOMPARE(currentChanged.count(), 1);
        QCOMPARE(saved()->size(), 1);
        // Without a current thread nothing goes.
        store->removeLastMessage(ChatMessage::Role::Assistant);
        QCOMPARE(store->threads().first().messages.size(), 2);
    }
    void compaction() {
        auto store = makeStore();
        store->append(user("a"));
        store->append(assistant("b"));
        store->append(user("c"));
        const QUuid compacted = *store->currentID();
        const ChatThread before = *store->currentThread();
        store->setCurrentID(std::nullopt);
        store->append(user("lain"));
        store->applyCompaction(compacted, "Ringkasan",
                               {before.messages[0].id, before.messages[1].id, QUuid::createUuid()});
        const ChatThread& after = store->threads()[1];
        QCOMPARE(after.id, compacted);
        QCOMPARE(after.summary, QString("Ringkasan"));
        QCOMPARE(after.messages.size(), 1);
        QCOMPARE(after.messages.first().text, "c");
        QCOMPARE(after.title, before.title);
        QCOMPARE(after.updatedAt, before.updatedAt);
        QCOMPARE(saved()->at(1).summary, QString("Ringkasan"));
        store->applyCompaction(compacted, "Ringkasan baru", {});
        QCOMPARE(store->threads()[1].summary, QString("Ringkasan baru"));
        const auto threads = store->threads();
        store->applyCompaction(QUuid::createUuid(), "x", {});
        QCOMPARE(store->threads(), threads);
    }
    void savingSwitchedOffAndOn() {
        auto store = makeStore();
        store->append(user("satu"));
        QVERIFY(QFileInfo::exists(path()));
        m_defaults->setBool("ai.saveHistory", false);
        QVERIFY(!QFileInfo::exists(path()));
        store->append(user("dua"));
        QVERIFY(!QFileInfo::exists(path()));
        QCOMPARE(store->currentThread()->messages.size(), 2);
        m_defaults->setBool("ai.saveHistory", true);
        QCOMPARE(saved().value_or(QList<ChatThread>()), store->threads());
    }
    void savingOffAtStartDoesNotReadTheFile() {
        QVERIFY(test::writeFile(path(), fixture("history-fixture.json")));
        m_defaults->setBool("ai.saveHistory", false);
        auto store = makeStore();
        QVERIFY(store->threads().isEmpty());
        store->append(user("x"));
        QCOMPARE(test::readFile(path()), fixture("history-fixture.json"));
    }
    void clearAllDeletesTheFile() {
        auto store = makeStore();
        store->append(user("x"));
        QSignalSpy currentChanged(store.get(), &ChatHistoryStore::currentIDChanged);
        store->clearAll();
        QVERIFY(store->threads().isEmpty());
        QCOMPARE(store->threadsModel()->rowCount() + store->messagesModel()->rowCount(), 0);
        QVERIFY(!store->currentID());
        QCOMPARE(currentChanged.count(), 1);
        QVERIFY(!QFileInfo::exists(path()));
        store->clearAll();
        QVERIFY(!QFileInfo::exists(path()));
    }
};

QTEST_GUILESS_MAIN(ChatHistoryTest)
#include "tst_chathistory.moc"
