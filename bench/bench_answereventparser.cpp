#include "answer/AnswerEventParser.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <ctime>

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

namespace {
double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}
} // namespace

// Best of ten runs in MB/s, printed once (QBENCHMARK below reruns its function). The machine
// is shared, so the CPU time this thread spent is given beside the wall-clock figure.
void AnswerEventParserBench::throughput() {
    QCOMPARE(parseAll(), m_expectedTokens);
    double bestWall = 0;
    double bestCpu = 0;
    const double megabytes = double(m_stream.size()) / 1e6;
    for (int round = 0; round < 10; ++round) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuSeconds();
        parseAll();
        const double cpu = threadCpuSeconds() - cpuStart;
        bestWall = std::max(bestWall, megabytes / (double(timer.nsecsElapsed()) / 1e9));
        bestCpu = std::max(bestCpu, megabytes / cpu);
    }
    qInfo("%.1f MB in %lld pieces: best %.0f MB/s wall clock, %.0f MB/s of CPU time "
          "(target 200 MB/s)",
          megabytes, qlonglong(m_pieces.size()), bestWall, bestCpu);
}

void AnswerEventParserBench::tokenStream() {
    QBENCHMARK {
        parseAll();
    }
}

QTEST_GUILESS_MAIN(AnswerEventParserBench)
#include "bench_answereventparser.moc"
