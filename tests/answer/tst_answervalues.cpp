#include "answer/AIModels.h"
#include "answer/AnswerEventParser.h"
#include "answer/TextLimits.h"

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

} // namespace

// What the answer service is sent and sends back: questions, answers and the event stream.
class AnswerValuesTest : public QObject {
    Q_OBJECT
private slots:
    // The names `ask --mode` takes and the running program is handed.
    void modeStrings() {
        const QStringList names{"ask", "follow_up", "answer_screen", "explain_screen",
                                "summarize_screen"};
        const QList<AIMode> modes{AIMode::Ask, AIMode::FollowUp, AIMode::AnswerScreen,
                                  AIMode::ExplainScreen, AIMode::SummarizeScreen};
        for (qsizetype i = 0; i < names.size(); ++i) {
            QCOMPARE(stringValue(modes[i]), names[i]);
            QCOMPARE(aiModeFromString(names[i]), std::optional(modes[i]));
        }
        for (const char* refused : {"SUMMARIZE_SCREEN", "followUp", ""})
            QCOMPARE(aiModeFromString(refused), std::nullopt);
    }
    void prefix_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("count");
        const QString family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";
        QTest::newRow("shorter") << "abc" << 5 << "abc" << 3;
        QTest::newRow("ascii cut") << "abcdef" << 4 << "abcd" << 6;
        QTest::newRow("zero") << "abc" << 0 << "" << 3;
        QTest::newRow("two-unit emoji kept whole") << "a\U0001F600b" << 2 << "a\U0001F600" << 3;
        QTest::newRow("family emoji is one character") << family + "!" << 1 << family << 2;
    }
    void prefix() {
        QFETCH(QString, text);
        QFETCH(int, limit);
        QFETCH(QString, expected);
        QFETCH(int, count);
        QCOMPARE(TextLimits::prefix(text, limit), expected);
        QCOMPARE(TextLimits::characterCount(text), count);
    }
    // The fixed texts of the screen actions reach the service; the assistant's tests see them
    // come back.
    void questionTextIsCutAtWholeCharacters() {
        // 8001 emoji, 16002 units, cut to 8000 whole emoji.
        const QString emoji = QStringLiteral("\U0001F600").repeated(8001);
        const AnswerQuestion question = makeQuestion(emoji, AIMode::Ask, {});
        QCOMPARE(question.text, emoji.left(16000));
        QCOMPARE(question.type, "essay");
    }
    // Empty lists are sent, not left out; a screen question carries only its images.
    void questionJson() {
        const auto json = [](const AnswerQuestion& question) {
            return QJsonDocument(question.toJson()).toJson(QJsonDocument::Compact);
        };
        AnswerQuestion question = makeQuestion("Hai", AIMode::Ask, {});
        QCOMPARE(json(question),
                 R"({"id":"1","images":[],"options":[],"text":"Hai","type":"essay"})");
        question.options = {{"a", "Satu"}};
        QCOMPARE(question.toJson().value("options")[0].toObject(),
                 (QJsonObject{{"id", "a"}, {"text", "Satu"}}));
        const QList<EncodedImage> images{{QByteArray("\xff\xd8one", 5), 10, 20},
                                         {QByteArray("\xff\xd8two?", 6), 30, 40}};
        QCOMPARE(json(makeQuestion("ignored", AIMode::AnswerScreen, images)),
                 R"({"id":"1","images":["data:image/jpeg;base64,/9hvbmU=",)"
                 R"("data:image/jpeg;base64,/9h0d28/"],"options":[],"text":"","type":"screen"})");
    }
    // What an answer from the service shows: its keys decoded, then formatted.
    void answerShown_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("confidence"); // -1: none
        const QString none = "Server tidak memberikan jawaban untuk permintaan ini.";
        // clang-format off
        const std::tuple<const char*, const char*, QString, double> rows[] = {
            {"every key", R"({"id":"1","choice":["a","c"],"text":"t","confidence":0.5,"x":1})",
             "**Pilihan:** A, C\n\nt", 0.5},
            {"text trimmed, confidence above 1",
             R"({"choice":["b"],"text":"  Karena itu.  \n","confidence":1.7})",
             "**Pilihan:** B\n\nKarena itu.", 1.0},
            {"choices without text", R"({"choice":["a","d"],"confidence":0.4})",
             "**Pilihan:** A, D", 0.4},
            {"empty choice list", R"({"choice":[],"text":"Teks"})", "Teks", -1},
            {"only spaces", R"({"text":"   \n ","confidence":0.9})", none, 0.9},
            {"zero confidence", R"({"text":"x","confidence":0})", "x", -1},
            {"explanation is never shown", R"({"explanation":"Penjelasan"})", none, -1},
            {"wrong types read as absent", R"({"choice":[1],"text":null,"confidence":"high"})",
             none, -1},
            {"a choice that is not a string voids the list", R"({"choice":["a",1],"text":"x"})",
             "x", -1}};
        // clang-format on
        for (const auto& [name, json, text, confidence] : rows)
            QTest::newRow(name) << QByteArray(json) << text << confidence;
    }
    void answerShown() {
        QFETCH(QByteArray, json);
        QFETCH(QString, text);
        QFETCH(double, confidence);
        const FormattedAnswer formatted =
            notchora::format(AnswerResult::fromJson(QJsonDocument::fromJson(json).object()));
        QCOMPARE(formatted.text, text);
        QCOMPARE(formatted.confidence, confidence < 0 ? std::nullopt : std::optional(confidence));
    }
    void everySplitGivesTheSameEvents_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<Events>("expected");
        const QByteArray crlf = QByteArray(sample).replace("\n", "\r\n");
        const Events cutShort = sampleEvents.mid(0, 3) + Events{broken};
        QTest::newRow("LF") << sample << sampleEvents;
        QTest::newRow("CRLF") << crlf << sampleEvents;
        QTest::newRow("CR") << QByteArray(sample).replace("\n", "\r") << sampleEvents;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF") + sample << sampleEvents;
        QTest::newRow("nothing is read after done")
            << sample + "event: token\ndata: {\"text\":\"late\"}\n\n"
            << sampleEvents;
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
            {"data without a name", tokenA + doneX, onlyX},
            {"unknown name, then reset", "event: delta\n" + tokenA + tokenA + doneX, onlyX},
            {"id and retry fields", "id: 7\nretry: 10\nevent: token\nid: 8\n" + tokenA + doneX,
             endA},
            {"tokens that do not decode are skipped",
             "event: token\ndata: not json\nevent: token\ndata: {\"text\":3}\nevent: token\n"
             "data: [\"a\"]\nevent: token\ndata: {\"text\":\"a\"} tail\nevent: token\n"
             "data: {\"text\":\"\xFF\"}\nevent: token\ndata:\nevent: token\n" + tokenA + doneX,
             endA},
            // Which payloads decode the fuzzer checks against the JSON parser; here only that an
            // empty one counts.
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
};

QTEST_GUILESS_MAIN(AnswerValuesTest)
#include "tst_answervalues.moc"
