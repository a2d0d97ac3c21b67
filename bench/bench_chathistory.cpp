#include "answer/ChatHistoryFile.h"
#include "answer/ChatHistoryStore.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace notchora;

// Saving and loading a full history: 30 threads of 200 messages of about 300 characters.
// Target: each under 20 ms. Python's json doing the same is printed as a yardstick.
class ChatHistoryBench : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void save();
    void load();
    void encodeOnly();
    void decodeOnly();
    void pythonYardstick();

private:
    QTemporaryDir m_dir;
    QList<ChatThread> m_threads;
    QString path() const { return m_dir.path() + "/Notchora/history.json"; }
};

void ChatHistoryBench::initTestCase() {
    const QDateTime start(QDate(2026, 1, 5), QTime(9, 0), Qt::UTC);
    const QString sentence =
        QStringLiteral("Layar menampilkan tabel penjualan bulanan dengan kolom tanggal, produk, "
                       "jumlah dan harga; baris terakhir berisi total. ");
    for (int t = 0; t < ChatHistoryStore::maxThreads; ++t) {
        ChatThread thread;
        thread.id = QUuid::createUuid();
        thread.title = QStringLiteral("Percakapan %1").arg(t);
        thread.updatedAt = start.addSecs(t * 600);
        thread.summary = sentence.repeated(4);
        for (int m = 0; m < ChatHistoryStore::maxMessages; ++m) {
            const bool user = m % 2 == 0;
            const QString text =
                sentence.repeated(3).left(296) + QString::number(m).rightJustified(4);
            thread.messages << ChatMessage::make(
                user ? ChatMessage::Role::User : ChatMessage::Role::Assistant, text,
                start.addSecs(t * 600 + m), user && m % 10 == 0,
                user ? std::nullopt : std::optional(0.87));
        }
        m_threads << thread;
    }
    QVERIFY(ChatHistoryFile(path()).save(m_threads));
    qInfo("history file: %lld bytes", QFileInfo(path()).size());
}

void ChatHistoryBench::save() {
    ChatHistoryFile file(path());
    QBENCHMARK {
        file.save(m_threads);
    }
}

void ChatHistoryBench::load() {
    ChatHistoryFile file(path());
    QBENCHMARK {
        QList<ChatThread> threads;
        if (file.load(threads) != ChatHistoryFile::LoadStatus::Loaded)
            QFAIL("history did not load");
    }
}

void ChatHistoryBench::encodeOnly() {
    QBENCHMARK {
        ChatHistoryFile::encode(m_threads);
    }
}

void ChatHistoryBench::decodeOnly() {
    const QByteArray data = ChatHistoryFile::encode(m_threads);
    QBENCHMARK {
        ChatHistoryFile::decode(data);
    }
}

void ChatHistoryBench::pythonYardstick() {
    QProcess python;
    python.start("python3", {QStringLiteral(NOTCHORA_BENCH_DIR) + "/json_yardstick.py", path()});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        QSKIP("python3 is not available");
    const QList<QByteArray> ms = python.readAllStandardOutput().trimmed().split(' ');
    QCOMPARE(ms.size(), 2);
    qInfo("python json (best of 20): dump+write %s ms, read+load %s ms", ms[0].constData(),
          ms[1].constData());
}

QTEST_GUILESS_MAIN(ChatHistoryBench)
#include "bench_chathistory.moc"
