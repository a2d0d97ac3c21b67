#include "ManualClock.h"
#include "TestEnvironment.h"
#include "answer/ChatHistoryStore.h"
#include "platform/Defaults.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;

class ChatHistoryTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fixtureRoundTrip();
    void textEncoding_data();
    void textEncoding();
    void decodeRejects_data();
    void decodeRejects();
    void undecodableFileIsKeptAside();
    void titles_data();
    void titles();
    void the31stThreadDropsTheOldest();
    void appendingToAnOlderThreadMovesItToTheFront();
    void removeLastMessage();
    void compaction();
    void savingSwitchedOffAndOn();
    void savingOffAtStartDoesNotReadTheFile();
    void clearAllDeletesTheFile();
    void relaunchSelectsTheMostRecentThread();

private:
    std::unique_ptr<ChatHistoryStore> makeStore();
    ChatMessage user(const QString& text) {
        return ChatMessage::make(ChatMessage::Role::User, text, m_clock->now());
    }
    ChatMessage assistant(const QString& text) {
        return ChatMessage::make(ChatMessage::Role::Assistant, text, m_clock->now(), false, 0.5);
    }
    QString path() const { return m_env->dataHome() + "/Notchora/history.json"; }
    static QByteArray fixture(const QString& name);

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    std::unique_ptr<ManualClock> m_clock;
};

void ChatHistoryTest::init() {
    m_env = std::make_unique<test::TestEnvironment>();
    m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
    m_clock = std::make_unique<ManualClock>();
}

void ChatHistoryTest::cleanup() {
    m_defaults.reset();
    m_env.reset();
}

std::unique_ptr<ChatHistoryStore> ChatHistoryTest::makeStore() {
    return std::make_unique<ChatHistoryStore>(path(), *m_defaults, *m_clock);
}

QByteArray ChatHistoryTest::fixture(const QString& name) {
    return test::readFile(QFINDTESTDATA(name)).trimmed();
}

void ChatHistoryTest::fixtureRoundTrip() {
    const QByteArray original = fixture("history-fixture.json");
    QVERIFY(!original.isEmpty());
    QVERIFY(test::writeFile(path(), original));
    auto store = makeStore();
    QCOMPARE(store->threads().size(), 2);
    const ChatThread& first = store->threads().first();
    QCOMPARE(store->currentID(), first.id);
    QCOMPARE(first.id, QUuid::fromString(QStringLiteral("6f1c1e0a-3b5d-4c2e-9a7b-1d2e3f405162")));
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

    // Writing back gives the same bytes: upper-case ids, reference-date seconds, optional keys
    // left out, compact.
    QFile::remove(path());
    store->applyPersistenceSetting();
    QCOMPARE(test::readFile(path()), original);
}

void ChatHistoryTest::textEncoding_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("quotes and backslashes") << R"(say "hi" \ C:\path)";
    QTest::newRow("control characters") << QString::fromUtf8("a\x01b\x1f\b\f\n\r\tc\x7f");
    QTest::newRow("non-ASCII") << QString::fromUtf8("é ß 中文 \u2028 \U0001F1EE\U0001F1E9");
    QTest::newRow("slash") << "a/b</script>";
    QTest::newRow("lone surrogate") << QString(QChar(0xd800)) + "x" + QChar(0xdc00);
}

void ChatHistoryTest::textEncoding() {
    QFETCH(QString, text);
    ChatThread thread{QUuid::createUuid(), text, m_clock->now(), {user(text)}, text};
    const QByteArray encoded = ChatHistoryFile::encode({thread});
    const auto decoded = ChatHistoryFile::decode(encoded);
    QVERIFY(decoded);
    QCOMPARE(decoded->first(), thread);
    // Written exactly as the platform's JSON writer would write it.
    if (text.isValidUtf16()) {
        const QByteArray reference = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
        QVERIFY(encoded.contains(reference.mid(1, reference.size() - 2)));
    }
}

void ChatHistoryTest::decodeRejects_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("message without hadImages") << fixture("history-missing-hadimages.json");
    QTest::newRow("not JSON") << QByteArray("[{\"id\":");
    QTest::newRow("object instead of array") << QByteArray("{}");
    QTest::newRow("lower-case role typo")
        << fixture("history-fixture.json").replace("\"assistant\"", "\"Assistant\"");
    QTest::newRow("bad UUID") << fixture("history-fixture.json").replace("C0FFEE00", "XYZ");
    // Dates out of any range are refused, not turned into some other date.
    QTest::newRow("message date 1e300")
        << fixture("history-fixture.json").replace("786000000.25", "1e300");
    QTest::newRow("thread date past 64-bit milliseconds")
        << fixture("history-fixture.json")
               .replace("\"updatedAt\":786000004.5", "\"updatedAt\":-1e19");
}

void ChatHistoryTest::decodeRejects() {
    QFETCH(QByteArray, content);
    QVERIFY(!ChatHistoryFile::decode(content));
}

void ChatHistoryTest::undecodableFileIsKeptAside() {
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
    QCOMPARE(ChatHistoryFile::decode(test::readFile(path()))->size(), 1);
    QCOMPARE(QFile::permissions(path()), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ReadUser | QFileDevice::WriteUser);
}

void ChatHistoryTest::titles_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::newRow("only spaces") << " \n\t "
                                 << "Percakapan";
    QTest::newRow("trimmed") << "  Halo dunia \n"
                             << "Halo dunia";
    QTest::newRow("100 characters") << QString(100, 'x') << QString(44, 'x');
    QTest::newRow("trim before cut") << "   " + QString(50, 'y') << QString(44, 'y');
    QString flags;
    for (int i = 0; i < 50; ++i)
        flags += QStringLiteral("\U0001F1EE\U0001F1E9");
    QTest::newRow("flags are not split") << flags << flags.left(44 * 4);
}

void ChatHistoryTest::titles() {
    QFETCH(QString, text);
    QFETCH(QString, title);
    auto store = makeStore();
    store->append(user(text));
    QCOMPARE(store->currentThread()->title, title);
    QCOMPARE(store->currentThread()->messages.first().text, text);
}

void ChatHistoryTest::the31stThreadDropsTheOldest() {
    auto store = makeStore();
    for (int i = 1; i <= 30; ++i) {
        store->setCurrentID(std::nullopt);
        store->append(user(QString("t%1").arg(i)));
    }
    QCOMPARE(store->threads().size(), 30);
    QCOMPARE(store->threads().last().title, "t1");
    store->setCurrentID(std::nullopt);
    store->append(user("t31"));
    QCOMPARE(store->threads().size(), 30);
    QCOMPARE(store->threads().first().title, "t31");
    QCOMPARE(store->threads().last().title, "t2");
    QCOMPARE(store->currentThread()->title, "t31");
    QCOMPARE(ChatHistoryFile::decode(test::readFile(path()))->size(), 30);
}

void ChatHistoryTest::appendingToAnOlderThreadMovesItToTheFront() {
    auto store = makeStore();
    store->append(user("lama"));
    const QUuid older = *store->currentID();
    store->setCurrentID(std::nullopt);
    store->append(user("baru"));
    QCOMPARE(store->threads().first().title, "baru");

    m_clock->advance(90);
    QSignalSpy threadsChanged(store.get(), &ChatHistoryStore::threadsChanged);
    store->select(older);
    store->append(assistant("jawaban"));
    QCOMPARE(threadsChanged.count(), 1);
    QCOMPARE(store->threads().first().id, older);
    QCOMPARE(store->threads().first().updatedAt, m_clock->now());
    QCOMPARE(store->threads().first().messages.size(), 2);
    QCOMPARE(ChatHistoryFile::decode(test::readFile(path()))->first().id, older);
}

void ChatHistoryTest::removeLastMessage() {
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
    QCOMPARE(ChatHistoryFile::decode(test::readFile(path()))->first().messages.size(), 2);

    store->setCurrentID(std::nullopt);
    store->append(user("satu-satunya"));
    QCOMPARE(store->threads().size(), 2);
    QSignalSpy currentChanged(store.get(), &ChatHistoryStore::currentIDChanged);
    store->removeLastMessage(ChatMessage::Role::User);
    QCOMPARE(store->threads().size(), 1);
    QVERIFY(!store->currentID());
    QCOMPARE(currentChanged.count(), 1);
    QCOMPARE(ChatHistoryFile::decode(test::readFile(path()))->size(), 1);
    // Without a current thread nothing goes.
    store->removeLastMessage(ChatMessage::Role::Assistant);
    QCOMPARE(store->threads().first().messages.size(), 2);
}

void ChatHistoryTest::compaction() {
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
    QCOMPARE(ChatHistoryFile::decode(test::readFile(path()))->at(1).summary, QString("Ringkasan"));

    store->applyCompaction(compacted, "Ringkasan baru", {});
    QCOMPARE(store->threads()[1].summary, QString("Ringkasan baru"));
    const auto threads = store->threads();
    store->applyCompaction(QUuid::createUuid(), "x", {});
    QCOMPARE(store->threads(), threads);
}

void ChatHistoryTest::savingSwitchedOffAndOn() {
    auto store = makeStore();
    store->append(user("satu"));
    QVERIFY(QFileInfo::exists(path()));

    m_defaults->setBool("ai.saveHistory", false);
    QVERIFY(!QFileInfo::exists(path()));
    store->append(user("dua"));
    QVERIFY(!QFileInfo::exists(path()));
    QCOMPARE(store->currentThread()->messages.size(), 2);

    m_defaults->setBool("ai.saveHistory", true);
    const auto saved = ChatHistoryFile::decode(test::readFile(path()));
    QVERIFY(saved);
    QCOMPARE(*saved, store->threads());
}

void ChatHistoryTest::savingOffAtStartDoesNotReadTheFile() {
    QVERIFY(test::writeFile(path(), fixture("history-fixture.json")));
    m_defaults->setBool("ai.saveHistory", false);
    auto store = makeStore();
    QVERIFY(store->threads().isEmpty());
    store->append(user("x"));
    QCOMPARE(test::readFile(path()), fixture("history-fixture.json"));
}

void ChatHistoryTest::clearAllDeletesTheFile() {
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

void ChatHistoryTest::relaunchSelectsTheMostRecentThread() {
    QUuid recent;
    {
        auto store = makeStore();
        store->append(user("a"));
        store->setCurrentID(std::nullopt);
        store->append(user("b"));
        recent = *store->currentID();
        store->setCurrentID(std::nullopt);
    }
    auto store = makeStore();
    QCOMPARE(store->threads().size(), 2);
    QCOMPARE(store->currentID(), recent);
}

QTEST_GUILESS_MAIN(ChatHistoryTest)
#include "tst_chathistory.moc"
