#include "assistant/StreamingText.h"

#include <QTest>

using namespace notchora;

// A 100 KB answer arriving one character per token, as plain text and as a JSON object
// whose "text" field holds it. Every token updates the display the way the assistant does
// (the text shown is read after each change). Target: under 50 ms for all updates together.
class StreamingTextBench : public QObject {
    Q_OBJECT
private slots:
    void oneCharacterTokens_data();
    void oneCharacterTokens();
};

void StreamingTextBench::oneCharacterTokens_data() {
    QTest::addColumn<QString>("raw");
    QTest::addColumn<qsizetype>("shownSize");
    QString answer;
    const QString words = QStringLiteral("Jawaban ini menjelaskan isi layar dengan singkat. ");
    while (answer.size() < 100 * 1024)
        answer += words;
    QTest::newRow("plain") << answer << answer.size();
    QString json = QStringLiteral("{\"choice\": [\"b\"], \"text\": \"");
    for (QChar c : std::as_const(answer))
        json += c == u' ' ? QStringLiteral("\\u0020") : QString(c);
    json += QStringLiteral("\", \"confidence\": 0.9}");
    QTest::newRow("JSON text field") << json << answer.size();
}

void StreamingTextBench::oneCharacterTokens() {
    QFETCH(QString, raw);
    QFETCH(qsizetype, shownSize);
    QBENCHMARK {
        StreamingText text;
        qsizetype reads = 0;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (text.append(QStringView(raw).mid(i, 1)))
                reads += text.shown().size() > 0;
        }
        QCOMPARE(text.shown().size(), shownSize);
        QVERIFY(reads > 0);
    }
}

QTEST_GUILESS_MAIN(StreamingTextBench)
#include "bench_streamingtext.moc"
