#include "answer/AnswerEventParser.h"

#include <QJsonDocument>
#include <QTest>

using namespace notchora;
using Event = AnswerEventParser::Event;
using Events = QList<Event>;

namespace notchora {
// Readable failures for QCOMPARE on events.
char* toString(const AnswerEventParser::Event& event) {
    static const char* types[] = {"token", "done", "failure"};
    const QByteArray text = QByteArray(types[int(event.type)]) + "(" + event.text.toUtf8() + ", " +
                            QJsonDocument(event.result).toJson(QJsonDocument::Compact) + ", " +
                            QByteArray::number(event.status) + ", reason " +
                            QByteArray::number(int(event.reason)) + ")";
    return qstrdup(text.constData());
}
} // namespace notchora

namespace {

Event token(const QString& text) {
    return Event::token(text);
}
Event done(const QString& text) {
    return Event::done(QJsonObject{{"text", text}});
}
const Event broken = Event::failure(Event::Reason::Broken, 0,
                                    "Koneksi terputus sebelum jawaban selesai. Coba lagi.");
Event serviceError(const QString& detail) {
    return Event::failure(Event::Reason::ServiceError, 502,
                          QStringLiteral("Layanan AI gagal di tengah jawaban: ") + detail);
}

Events parse(const QList<QByteArray>& pieces) {
    AnswerEventParser parser;
    Events events;
    for (const QByteArray& piece : pieces)
        events += parser.feed(piece);
    return events + parser.finish();
}

const QByteArray doneX = "event: done\ndata: {\"answers\":[{\"text\":\"x\"}]}\n";
const QByteArray sample = ": keep-alive\n"
                          "event: token\ndata: {\"text\":\"Halo \"}\n\n"
                          "event: token\ndata: {\"text\":\"dunia \\u00e9\\n\"}\n\n"
                          "event: token\ndata: {\"text\":\"\xF0\x9F\x91\x8D\"}\n\n"
                          "event: done\n"
                          "data: {\"answers\":[{\"text\":\"Halo dunia\"},{\"text\":\"lain\"}]}\n\n";
const Events sampleEvents{token("Halo "), token(QStringLiteral("dunia \u00e9\n")),
                          token(QStringLiteral("\U0001F44D")), done("Halo dunia")};

// clang-format off
    // Escapes, surrogates and broken UTF-8 the hand-written token reader must judge exactly like
// the full JSON parser.
const char* const payloads[] = {
        R"({"text":"a b"})", R"({ "text" : "a" })", R"({"text":"\u00e9\n"})",
        "{\"text\":\"\xC3\xA9\"}", "{\"text\":\"\xED\xA0\x80\"}", "{\"text\":\"\xC0\xAF\"}",
        "{\"text\":\"\xF4\x90\x80\x80\"}", "{\"text\":\"\xC3\"}", "{\"text\":\"\x01\"}",
        R"({"text":"x",})", R"({"text":"x")", R"({"text":"y"} {})", R"({"text":null})",
        R"({"id":1,"text":"b"})", R"({"text":"\ud83d\ude00"})", R"({"text":"\uD83D\uDE00 \u00E9"})",
        R"({"text":"\ud83d"})", R"({"text":"\ude00x"})", R"({"text":"\ud83dx\ude00"})",
        R"({"text":"\q"})", R"({"text":"\u00zz"})", R"({"text":"a\/b\u0000\b\f\r"})",
        R"({"text":"\"\\"})", R"({"text":"\"})", R"({"text":""})", R"({"text":"é"} )"};
// clang-format on

} // namespace

class AnswerEventParserTest : public QObject {
    Q_OBJECT
private slots:
    void everySplitGivesTheSameEvents_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<Events>("expected");
        const QByteArray crlf = QByteArray(sample).replace("\n", "\r\n");
        const Events cutShort = sampleEvents.mid(0, 3) + Events{broken};
        QTest::newRow("LF") << sample << sampleEvents;
        QTest::newRow("CRLF") << crlf << sampleEvents;
        QTest::newRow("CR") << QByteArray(sample).replace("\n", "\r") << sampleEvents;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF") + sample << sampleEvents;
        QTest::newRow("no done") << sample.left(sample.indexOf("event: done")) << cutShort;
        // The body stops between "\r" and "\n".
        QTest::newRow("CRLF, no done") << crlf.left(crlf.indexOf("event: done") - 1) << cutShort;
    }
    void everySplitGivesTheSameEvents() {
        QFETCH(QByteArray, stream);
        QFETCH(Events, expected);
        QCOMPARE(parse({stream}), expected);
        for (qsizetype cut = 0; cut <= stream.size(); ++cut)
            QCOMPARE(parse({stream.left(cut), stream.mid(cut)}), expected);
        for (qsizetype cut = 1; cut + 1 < stream.size(); ++cut)
            QCOMPARE(parse({stream.left(cut), stream.mid(cut, 1), stream.mid(cut + 1)}), expected);
        QList<QByteArray> bytes;
        for (char c : stream)
            bytes.append(QByteArray(1, c));
        QCOMPARE(parse(bytes), expected);
    }
    void lines_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<Events>("expected");
        const QByteArray tokenA = "data: {\"text\":\"a\"}\n";
        const Events endA{token("a"), done("x")};
        const Events onlyX{done("x")};
        const Event undecodable =
            Event::failure(Event::Reason::Undecodable, 0, AnswerEventParser::undecodableMessage);
        const Event modelFailed = serviceError("Model gagal menjawab.");
        // clang-format off
        const std::tuple<const char*, QByteArray, Events> rows[] = {
            {"comments between name and data", ": one\nevent: token\n:two\n" + tokenA + doneX,
             endA},
            {"blank lines keep the name", "event: token\n\n\r\n\n" + tokenA + doneX, endA},
            {"second data line goes to message",
             "event: token\n" + tokenA + "data: {\"text\":\"b\"}\n" + doneX, endA},
            {"data without a name", tokenA + doneX, onlyX},
            {"unknown name, then reset", "event: delta\n" + tokenA + tokenA + doneX, onlyX},
            {"name without space, padded", "event:\t token \t\ndata:{\"text\":\"a\"}  \n" + doneX,
             endA},
            {"field names are case-sensitive",
             "Event: token\n" + tokenA + "event: token\nDATA: {\"text\":\"b\"}\n" + doneX, onlyX},
            {"indented field is not a field",
             "event: token\n  " + tokenA + "event: token\n" + tokenA + doneX, endA},
            {"id and retry fields", "id: 7\nretry: 10\nevent: token\nid: 8\n" + tokenA + doneX,
             endA},
            {"tokens that do not decode are skipped",
             "event: token\ndata: not json\nevent: token\ndata: {\"text\":3}\nevent: token\n"
             "data: [\"a\"]\nevent: token\ndata: {\"text\":\"a\"} tail\nevent: token\n"
             "data: {\"text\":\"\xFF\"}\nevent: token\ndata:\nevent: token\n" + tokenA + doneX,
             endA},
            // Which payloads decode is tokenText's (below); here only that an empty one counts.
            {"empty token", "event: token\ndata: {\"text\":\"\"}\n" + doneX,
             {token(""), done("x")}},
            {"done with empty answers",
             "event: token\n" + tokenA + "event: done\ndata: {\"answers\":[]}\n",
             {token("a"), Event::failure(Event::Reason::NoAnswers, 200,
                                         "Server tidak mengembalikan jawaban.")}},
            {"done not JSON", "event: done\ndata: {answers}\n", {undecodable}},
            {"done without answers", "event: done\ndata: {\"text\":\"x\"}\n", {undecodable}},
            {"done with a non-object answer",
             "event: done\ndata: {\"answers\":[{\"text\":\"x\"},2]}\n", {undecodable}},
            // Which detail text an error carries is the error table's; here only that it is used.
            {"error with detail text",
             "event: token\n" + tokenA + "event: error\ndata: {\"detail\":\"kuota habis\"}\n",
             {token("a"), serviceError("kuota habis")}},
            {"error with empty object", "event: error\ndata: {}\n", {modelFailed}},
            {"error with empty detail", "event: error\ndata: {\"detail\":\"\"}\n", {modelFailed}},
            {"only tokens, then the end", "event: token\n" + tokenA, {token("a"), broken}},
            {"empty body", "", {broken}},
            {"last line without line ending", doneX.chopped(1), onlyX}};
        // clang-format on
        for (const auto& [name, stream, expected] : rows)
            QTest::newRow(name) << stream << expected;
    }
    void lines() {
        QFETCH(QByteArray, stream);
        QFETCH(Events, expected);
        QCOMPARE(parse({stream}), expected);
    }
    void nothingIsReadAfterTheEnd() {
        AnswerEventParser parser;
        QCOMPARE(parser.feed(doneX + "event: token\ndata: {\"text\":\"late\"}\n"),
                 Events{done("x")});
        QVERIFY(parser.isFinished());
        QVERIFY(parser.feed("event: token\ndata: {\"text\":\"later\"}\n").isEmpty());
        QVERIFY(parser.finish().isEmpty());
    }
    void longLines_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("fits");
        const qsizetype limit = AnswerEventParser::maxLineLength;
        const QByteArray head = "data: {\"text\":\"";
        const qsizetype room = limit - head.size() - 2; // for the closing "}
        QTest::newRow("comment at the limit") << ":" + QByteArray(limit - 1, 'c') << true;
        QTest::newRow("comment one past the limit") << ":" + QByteArray(limit, 'c') << false;
        QTest::newRow("token at the limit") << head + QByteArray(room, 'x') + "\"}" << true;
        QTest::newRow("token one past the limit")
            << head + QByteArray(room + 1, 'x') + "\"}" << false;
    }
    void longLines() {
        QFETCH(QByteArray, line);
        QFETCH(bool, fits);
        const bool isToken = line.startsWith("data:");
        const QByteArray stream = (isToken ? "event: token\n" : "") + line + "\r\n" + doneX;
        Events expected{broken};
        if (fits)
            expected = isToken ? Events{token(QString(line.size() - 17, u'x')), done("x")}
                               : Events{done("x")};
        QCOMPARE(parse({stream}), expected);
        // The same in network-sized pieces, where the line is put together across reads.
        QList<QByteArray> pieces;
        for (qsizetype at = 0; at < stream.size(); at += 16384)
            pieces.append(stream.mid(at, 16384));
        QCOMPARE(parse(pieces), expected);
    }
    void endlessLineFailsBeforeItEnds() {
        AnswerEventParser parser;
        QVERIFY(parser.feed("event: token\n").isEmpty());
        const QByteArray piece(64 * 1024, 'z');
        Events events;
        qsizetype fed = 0;
        while (events.isEmpty() && fed <= 4 * AnswerEventParser::maxLineLength) {
            events = parser.feed(piece);
            fed += piece.size();
        }
        // The failure comes with the piece that crosses the limit, without waiting for a line end.
        QCOMPARE(events, Events{broken});
        QCOMPARE(fed, AnswerEventParser::maxLineLength + piece.size());
        QVERIFY(parser.finish().isEmpty());
    }
    void tokenText_data() {
        QTest::addColumn<QByteArray>("payload");
        for (int i = 0; i < int(std::size(payloads)); ++i)
            QTest::addRow("payload %d", i) << QByteArray(payloads[i]);
    }
    void tokenText() {
        QFETCH(QByteArray, payload);
        const QJsonValue text = QJsonDocument::fromJson(payload).object().value("text");
        QCOMPARE(AnswerEventParser::tokenText(payload),
                 text.isString() ? std::optional(text.toString()) : std::nullopt);
    }
};

QTEST_GUILESS_MAIN(AnswerEventParserTest)
#include "tst_answereventparser.moc"
