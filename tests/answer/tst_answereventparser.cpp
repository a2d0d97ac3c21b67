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

const QString broken = QStringLiteral("Koneksi terputus sebelum jawaban selesai. Coba lagi.");

Event token(const QString& text) {
    return Event::token(text);
}
Event done(const QString& text) {
    return Event::done(QJsonObject{{"text", text}});
}
Event brokenFailure() {
    return Event::failure(Event::Reason::Broken, 0, broken);
}
Event serviceError(const QString& detail) {
    return Event::failure(Event::Reason::ServiceError, 502,
                          QStringLiteral("Layanan AI gagal di tengah jawaban: ") + detail);
}

Events parseWhole(const QByteArray& stream) {
    AnswerEventParser parser;
    Events events = parser.feed(stream);
    events += parser.finish();
    return events;
}

Events parseInPieces(const QList<QByteArray>& pieces) {
    AnswerEventParser parser;
    Events events;
    for (const QByteArray& piece : pieces)
        events += parser.feed(piece);
    events += parser.finish();
    return events;
}

const QByteArray sample = ": keep-alive\n"
                          "event: token\n"
                          "data: {\"text\":\"Halo \"}\n"
                          "\n"
                          "event: token\n"
                          "data: {\"text\":\"dunia \\u00e9\\n\"}\n"
                          "\n"
                          "event: token\n"
                          "data: {\"text\":\"\xF0\x9F\x91\x8D\"}\n"
                          "\n"
                          "event: done\n"
                          "data: {\"answers\":[{\"text\":\"Halo dunia\"},{\"text\":\"lain\"}]}\n"
                          "\n";
const Events sampleEvents{token("Halo "), token(QStringLiteral("dunia \u00e9\n")),
                          token(QStringLiteral("\U0001F44D")), done("Halo dunia")};

} // namespace

class AnswerEventParserTest : public QObject {
    Q_OBJECT
private slots:
    void everySplitGivesTheSameEvents_data();
    void everySplitGivesTheSameEvents();
    void lines_data();
    void lines();
    void nothingIsReadAfterTheEnd();
    void longLines_data();
    void longLines();
    void endlessLineFailsBeforeItEnds();
    void tokenText_data();
    void tokenText();
};

void AnswerEventParserTest::everySplitGivesTheSameEvents_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<Events>("expected");
    QByteArray crlf = sample;
    crlf.replace("\n", "\r\n");
    QByteArray cr = sample;
    cr.replace("\n", "\r");
    QTest::newRow("LF") << sample << sampleEvents;
    QTest::newRow("CRLF") << crlf << sampleEvents;
    QTest::newRow("CR") << cr << sampleEvents;
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF") + sample << sampleEvents;
    const Events cutShort = sampleEvents.mid(0, 3) + Events{brokenFailure()};
    QTest::newRow("no done") << sample.left(sample.indexOf("event: done")) << cutShort;
    // The body stops between "\r" and "\n".
    QTest::newRow("CRLF, no done") << crlf.left(crlf.indexOf("event: done") - 1) << cutShort;
}

void AnswerEventParserTest::everySplitGivesTheSameEvents() {
    QFETCH(QByteArray, stream);
    QFETCH(Events, expected);
    QCOMPARE(parseWhole(stream), expected);
    for (qsizetype cut = 0; cut <= stream.size(); ++cut)
        QCOMPARE(parseInPieces({stream.left(cut), stream.mid(cut)}), expected);
    for (qsizetype cut = 1; cut + 1 < stream.size(); ++cut)
        QCOMPARE(parseInPieces({stream.left(cut), stream.mid(cut, 1), stream.mid(cut + 1)}),
                 expected);
    QList<QByteArray> bytes;
    for (char c : stream)
        bytes.append(QByteArray(1, c));
    QCOMPARE(parseInPieces(bytes), expected);
}

void AnswerEventParserTest::lines_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<Events>("expected");
    const QByteArray tokenA = "data: {\"text\":\"a\"}\n";
    const QByteArray doneX = "event: done\ndata: {\"answers\":[{\"text\":\"x\"}]}\n";
    const Events endA{token("a"), done("x")};

    QTest::newRow("comments between name and data")
        << ": one\nevent: token\n:two\n" + tokenA + doneX << endA;
    QTest::newRow("blank lines keep the name") << "event: token\n\n\r\n\n" + tokenA + doneX << endA;
    QTest::newRow("second data line goes to message")
        << "event: token\n" + tokenA + "data: {\"text\":\"b\"}\n" + doneX << endA;
    QTest::newRow("data without a name") << tokenA + doneX << Events{done("x")};
    QTest::newRow("unknown name, then reset")
        << "event: delta\n" + tokenA + tokenA + doneX << Events{done("x")};
    QTest::newRow("name without space, padded")
        << "event:\t token \t\ndata:{\"text\":\"a\"}  \n" + doneX << endA;
    QTest::newRow("field names are case-sensitive")
        << "Event: token\n" + tokenA + "event: token\nDATA: {\"text\":\"b\"}\n" + doneX
        << Events{done("x")};
    QTest::newRow("indented field is not a field")
        << "event: token\n  " + tokenA + "event: token\n" + tokenA + doneX << endA;
    QTest::newRow("id and retry fields")
        << "id: 7\nretry: 10\nevent: token\nid: 8\n" + tokenA + doneX << endA;
    QTest::newRow("tokens that do not decode are skipped")
        << QByteArray("event: token\ndata: not json\nevent: token\ndata: {\"text\":3}\n"
                      "event: token\ndata: [\"a\"]\nevent: token\ndata: {\"text\":\"a\"} tail\n"
                      "event: token\ndata: {\"text\":\"\xFF\"}\nevent: token\ndata:\n"
                      "event: token\n") +
               tokenA + doneX
        << endA;
    // Which payloads decode is tokenText's (below); here only that an empty one is a token.
    QTest::newRow("empty token") << "event: token\ndata: {\"text\":\"\"}\n" + doneX
                                 << Events{token(""), done("x")};
    QTest::newRow("done with empty answers")
        << "event: token\n" + tokenA + "event: done\ndata: {\"answers\":[]}\n"
        << Events{token("a"), Event::failure(Event::Reason::NoAnswers, 200,
                                             "Server tidak mengembalikan jawaban.")};
    const Event undecodable =
        Event::failure(Event::Reason::Undecodable, 0, AnswerEventParser::undecodableMessage);
    QTest::newRow("done not JSON")
        << QByteArray("event: done\ndata: {answers}\n") << Events{undecodable};
    QTest::newRow("done without answers")
        << QByteArray("event: done\ndata: {\"text\":\"x\"}\n") << Events{undecodable};
    QTest::newRow("done with a non-object answer")
        << QByteArray("event: done\ndata: {\"answers\":[{\"text\":\"x\"},2]}\n")
        << Events{undecodable};
    // Which detail text an error carries is the error table's; here only that it is used.
    QTest::newRow("error with detail text")
        << "event: token\n" + tokenA + "event: error\ndata: {\"detail\":\"kuota habis\"}\n"
        << Events{token("a"), serviceError("kuota habis")};
    QTest::newRow("error with empty object")
        << QByteArray("event: error\ndata: {}\n") << Events{serviceError("Model gagal menjawab.")};
    QTest::newRow("error with empty detail")
        << QByteArray("event: error\ndata: {\"detail\":\"\"}\n")
        << Events{serviceError("Model gagal menjawab.")};
    QTest::newRow("only tokens, then the end")
        << "event: token\n" + tokenA << Events{token("a"), brokenFailure()};
    QTest::newRow("empty body") << QByteArray() << Events{brokenFailure()};
    QTest::newRow("last line without line ending")
        << QByteArray("event: done\ndata: {\"answers\":[{\"text\":\"x\"}]}") << Events{done("x")};
}

void AnswerEventParserTest::lines() {
    QFETCH(QByteArray, stream);
    QFETCH(Events, expected);
    QCOMPARE(parseWhole(stream), expected);
}

void AnswerEventParserTest::nothingIsReadAfterTheEnd() {
    AnswerEventParser parser;
    const Events first =
        parser.feed("event: done\ndata: {\"answers\":[{\"text\":\"x\"}]}\nevent: token\n"
                    "data: {\"text\":\"late\"}\n");
    QCOMPARE(first, Events{done("x")});
    QVERIFY(parser.isFinished());
    QVERIFY(parser.feed("event: token\ndata: {\"text\":\"later\"}\n").isEmpty());
    QVERIFY(parser.finish().isEmpty());
}

void AnswerEventParserTest::longLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("fits");
    const qsizetype limit = AnswerEventParser::maxLineLength;
    QTest::newRow("comment at the limit") << ":" + QByteArray(limit - 1, 'c') << true;
    QTest::newRow("comment one past the limit") << ":" + QByteArray(limit, 'c') << false;
    const QByteArray head = "data: {\"text\":\"";
    const QByteArray tail = "\"}";
    QTest::newRow("token at the limit")
        << head + QByteArray(limit - head.size() - tail.size(), 'x') + tail << true;
    QTest::newRow("token one past the limit")
        << head + QByteArray(limit + 1 - head.size() - tail.size(), 'x') + tail << false;
}

void AnswerEventParserTest::longLines() {
    QFETCH(QByteArray, line);
    QFETCH(bool, fits);
    const bool isToken = line.startsWith("data:");
    const QByteArray stream = (isToken ? "event: token\n" : "") + line + "\r\n" +
                              "event: done\ndata: {\"answers\":[{\"text\":\"x\"}]}\n";
    Events expected;
    if (!fits)
        expected = {brokenFailure()};
    else if (isToken)
        expected = {token(QString(line.size() - 17, u'x')), done("x")};
    else
        expected = {done("x")};

    QCOMPARE(parseWhole(stream), expected);
    // The same in network-sized pieces, where the line is put together across reads.
    QList<QByteArray> pieces;
    for (qsizetype at = 0; at < stream.size(); at += 16384)
        pieces.append(stream.mid(at, 16384));
    QCOMPARE(parseInPieces(pieces), expected);
}

void AnswerEventParserTest::endlessLineFailsBeforeItEnds() {
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
    QCOMPARE(events, Events{brokenFailure()});
    QCOMPARE(fed, AnswerEventParser::maxLineLength + piece.size());
    QVERIFY(parser.finish().isEmpty());
}

void AnswerEventParserTest::tokenText_data() {
    QTest::addColumn<QByteArray>("payload");
    // Escapes, surrogates and broken UTF-8 the hand-written reader must judge exactly like
    // the full JSON parser.
    static const char* const payloads[] = {R"({"text":"a b"})",
                                           R"({ "text" : "a" })",
                                           R"({"text":"\u00e9\n"})",
                                           "{\"text\":\"\xC3\xA9\"}",
                                           "{\"text\":\"\xED\xA0\x80\"}",
                                           "{\"text\":\"\xC0\xAF\"}",
                                           "{\"text\":\"\xF4\x90\x80\x80\"}",
                                           "{\"text\":\"\xC3\"}",
                                           "{\"text\":\"\x01\"}",
                                           R"({"text":"x",})",
                                           R"({"text":"x")",
                                           R"({"text":"y"} {})",
                                           R"({"text":null})",
                                           R"({"id":1,"text":"b"})",
                                           R"({"text":"\ud83d\ude00"})",
                                           R"({"text":"\uD83D\uDE00 \u00E9"})",
                                           R"({"text":"\ud83d"})",
                                           R"({"text":"\ude00x"})",
                                           R"({"text":"\ud83dx\ude00"})",
                                           R"({"text":"\q"})",
                                           R"({"text":"\u00zz"})",
                                           R"({"text":"a\/b\u0000\b\f\r"})",
                                           R"({"text":"\"\\"})",
                                           R"({"text":"\"})",
                                           R"({"text":""})",
                                           R"({"text":"é"} )"};
    for (int i = 0; i < int(std::size(payloads)); ++i)
        QTest::addRow("payload %d", i) << QByteArray(payloads[i]);
}

void AnswerEventParserTest::tokenText() {
    QFETCH(QByteArray, payload);
    const QJsonValue text = QJsonDocument::fromJson(payload).object().value("text");
    const std::optional<QString> expected =
        text.isString() ? std::optional(text.toString()) : std::nullopt;
    QCOMPARE(AnswerEventParser::tokenText(payload), expected);
}

QTEST_GUILESS_MAIN(AnswerEventParserTest)
#include "tst_answereventparser.moc"
