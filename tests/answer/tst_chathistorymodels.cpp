#include "ManualClock.h"
#include "TestEnvironment.h"
#include "answer/ChatHistoryStore.h"
#include "platform/Defaults.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;

class ChatHistoryModelsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void appendingAddsOneRow();
    void switchingThreadsFollowsTheCurrent();
    void takingBackTheOnlyMessageRemovesTheThread();
    void trimmingDropsTheOldestRow();

private:
    ChatMessage user(const QString& text) {
        return ChatMessage::make(ChatMessage::Role::User, text, m_clock.now());
    }
    QVariant thread(int row, const char* role) const;
    QVariant message(int row, const char* role) const;

    std::unique_ptr<test::TestEnvironment> m_env;
    std::unique_ptr<Defaults> m_defaults;
    ManualClock m_clock;
    std::unique_ptr<ChatHistoryStore> m_store;
    std::unique_ptr<QAbstractItemModelTester> m_threadsTester;
    std::unique_ptr<QAbstractItemModelTester> m_messagesTester;
};

void ChatHistoryModelsTest::init() {
    m_env = std::make_unique<test::TestEnvironment>();
    m_defaults = std::make_unique<Defaults>(m_env->configHome() + "/notchora/defaults.json");
    m_store = std::make_unique<ChatHistoryStore>(m_env->dataHome() + "/history.json", *m_defaults,
                                                 m_clock);
    using Tester = QAbstractItemModelTester;
    m_threadsTester =
        std::make_unique<Tester>(m_store->threadsModel(), Tester::FailureReportingMode::QtTest);
    m_messagesTester =
        std::make_unique<Tester>(m_store->messagesModel(), Tester::FailureReportingMode::QtTest);
}

void ChatHistoryModelsTest::cleanup() {
    m_threadsTester.reset();
    m_messagesTester.reset();
    m_store.reset();
    m_defaults.reset();
    m_env.reset();
}

QVariant ChatHistoryModelsTest::thread(int row, const char* role) const {
    const auto* model = m_store->threadsModel();
    return model->index(row).data(model->roleNames().key(role));
}

QVariant ChatHistoryModelsTest::message(int row, const char* role) const {
    const auto* model = m_store->messagesModel();
    return model->index(row).data(model->roleNames().key(role));
}

void ChatHistoryModelsTest::appendingAddsOneRow() {
    m_store->append(user("Halo"));
    QSignalSpy messagesInserted(m_store->messagesModel(), &QAbstractItemModel::rowsInserted);
    QSignalSpy threadsChanged(m_store->threadsModel(), &QAbstractItemModel::dataChanged);
    QSignalSpy resets(m_store->messagesModel(), &QAbstractItemModel::modelReset);
    m_clock.advance(5);
    ChatMessage answer =
        ChatMessage::make(ChatMessage::Role::Assistant, "Hai", m_clock.now(), true, 0.75);
    m_store->append(answer);

    QCOMPARE(messagesInserted.count(), 1);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(m_store->messagesModel()->rowCount(), 2);
    QCOMPARE(message(1, "messageID").toString(), answer.idString());
    QCOMPARE(message(1, "role").toString(), QStringLiteral("assistant"));
    QCOMPARE(message(1, "text").toString(), QStringLiteral("Hai"));
    QCOMPARE(message(1, "createdAt").toDateTime(), m_clock.now());
    QCOMPARE(message(1, "hadImages").toBool(), true);
    QCOMPARE(message(1, "confidence").toDouble(), 0.75);
    QCOMPARE(threadsChanged.count(), 1);
    QCOMPARE(thread(0, "messageCount").toInt(), 2);
    QCOMPARE(thread(0, "updatedAt").toDateTime(), m_clock.now());
    QCOMPARE(thread(0, "title").toString(), QStringLiteral("Halo"));
    QCOMPARE(thread(0, "isCurrent").toBool(), true);
}

void ChatHistoryModelsTest::switchingThreadsFollowsTheCurrent() {
    m_store->append(user("Pertama"));
    const QUuid first = *m_store->currentID();
    m_store->setCurrentID(std::nullopt);
    QCOMPARE(m_store->messagesModel()->rowCount(), 0);
    m_store->append(user("Kedua"));
    QCOMPARE(thread(0, "title").toString(), QStringLiteral("Kedua"));
    QCOMPARE(thread(1, "isCurrent").toBool(), false);

    QSignalSpy moved(m_store->threadsModel(), &QAbstractItemModel::rowsMoved);
    m_store->select(first);
    QCOMPARE(thread(0, "isCurrent").toBool(), false);
    QCOMPARE(thread(1, "isCurrent").toBool(), true);
    QCOMPARE(message(0, "text").toString(), QStringLiteral("Pertama"));
    // Appending to the older thread brings its row to the front.
    m_store->append(user("Lagi"));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(thread(0, "threadID").toString(), uuidString(first));
    QCOMPARE(m_store->messagesModel()->rowCount(), 2);
}

void ChatHistoryModelsTest::takingBackTheOnlyMessageRemovesTheThread() {
    m_store->append(user("Halo"));
    QSignalSpy removed(m_store->threadsModel(), &QAbstractItemModel::rowsRemoved);
    m_store->removeLastMessage(ChatMessage::Role::User);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(m_store->threadsModel()->rowCount(), 0);
    QCOMPARE(m_store->messagesModel()->rowCount(), 0);
}

// The 201st message drops the oldest, as one row; the title stays the first question's.
void ChatHistoryModelsTest::trimmingDropsTheOldestRow() {
    for (int i = 0; i < 200; ++i)
        m_store->append(user(QString::number(i)));
    QSignalSpy removed(m_store->messagesModel(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(m_store->messagesModel(), &QAbstractItemModel::rowsInserted);
    m_store->append(user("baru"));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 0);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(m_store->messagesModel()->rowCount(), 200);
    QCOMPARE(message(0, "text").toString(), QStringLiteral("1"));
    QCOMPARE(message(199, "text").toString(), QStringLiteral("baru"));
    QCOMPARE(thread(0, "title").toString(), QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(ChatHistoryModelsTest)
#include "tst_chathistorymodels.moc"
