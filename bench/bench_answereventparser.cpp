#include "AnswerEventParser.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

using namespace notchora;

// Feeds the event parser a 10 MB stream of token events in random network-sized pieces.
// Target: at least 200 MB/s.
class AnswerEventParserBench : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void throughput();
    void tokenStream();

private:
    qsizetype parseAll() const;

    QByteArray m_stream;
    QList<QByteArrayView> m_pieces;
    qsizetype m_expectedTokens = 0;
};

void AnswerEventParserBench::initTestCase() {
    static const QList<QByteArray> words{"Jawaban ",
                                         "ini ",
                                         "menjelaskan ",
                                         "isi ",
                                         "layar ",
                                         "dengan ",
                                         "singkat",
                                         ". ",
                                         "**Pilihan:** ",
                                         "B",
                                         "\\n\\n",
                                         "caf\xC3\xA9 ",
                                         "\xF0\x9F\x91\x8D ",
                                         "\\\"kutipan\\\" "};
    QRandomGenerator random(42);
    const qsizetype target = 10 * 1000 * 1000;
    m_stream.reserve(target + 1024);
    while (m_stream.size() < target) {
        QByteArray text;
        const int count = random.bounded(1, 4);
        for (int i = 0; i < count; ++i)
            text += words[random.bounded(words.size())];
        m_stream += "event: token\ndata: {\"text\":\"" + text + "\"}\n\n";
        ++m_expectedTokens;
    }
    m_stream += "event: done\ndata: {\"answers\":[{\"text\":\"selesai\"}]}\n\n";
    for (qsizetype at = 0; at < m_stream.size();) {
        const qsizetype size = std::min<qsizetype>(random.bounded(1, 16385), m_stream.size() - at);
        m_pieces.append(QByteArrayView(m_stream).sliced(at, size));
        at += size;
    }
}

qsizetype AnswerEventParserBench::parseAll() const {
    AnswerEventParser parser;
    qsizetype tokens = 0;
    for (const QByteArrayView piece : m_pieces) {
        for (const AnswerEventParser::Event& event : parser.feed(piece))
            tokens += event.type == AnswerEventParser::Event::Type::Token;
    }
    return tokens;
}

// Best of five runs in MB/s, printed once (QBENCHMARK below reruns its function).
void AnswerEventParserBench::throughput() {
    QCOMPARE(parseAll(), m_expectedTokens);
    double best = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer timer;
        timer.start();
        parseAll();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        best = std::max(best, double(m_stream.size()) / seconds / 1e6);
    }
    qInfo("%.1f MB in %lld pieces: best %.0f MB/s (target 200 MB/s)", double(m_stream.size()) / 1e6,
          qlonglong(m_pieces.size()), best);
}

void AnswerEventParserBench::tokenStream() {
    QBENCHMARK {
        parseAll();
    }
}

QTEST_GUILESS_MAIN(AnswerEventParserBench)
#include "bench_answereventparser.moc"
