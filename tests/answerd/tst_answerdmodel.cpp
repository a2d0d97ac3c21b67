#include "AnswerdProcess.h"
#include "FakeModel.h"
#include "PromptBook.h"
#include "TableRows.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

using namespace notchora::test;
using notchora::answerd::PromptBook;

namespace {

const QString streamPath = QStringLiteral("/api/v1/answer/stream");
const QString answerPath = QStringLiteral("/api/v1/answer");
const QString compactPath = QStringLiteral("/api/v1/answer/compact");
const QByteArray apiKey = "sk-test-4f1c2b9e";
const QString image1 = QStringLiteral("data:image/jpeg;base64,/9j/AAAA");
const QString image2 = QStringLiteral("data:image/jpeg;base64,/9j/BBBB");

QJsonObject questionBody(const QString& text, const QStringList& images = {},
                         const QJsonArray& options = {}, int historyCount = 0,
                         const QString& summary = QString()) {
    QJsonObject body = AnswerdClient::answerBody(text, historyCount);
    QJsonObject question = body["questions"].toArray().first().toObject();
    question["images"] = QJsonArray::fromStringList(images);
    question["type"] = images.isEmpty() ? "essay" : "screen";
    question["options"] = options;
    body["questions"] = QJsonArray{question};
    if (!summary.isEmpty())
        body["summary"] = summary;
    return body;
}

QStringList tokensOf(const QList<SseEvent>& events) {
    QStringList tokens;
    for (const SseEvent& event : events) {
        if (event.name == "token")
            tokens.append(event.data.value("text").toString());
    }
    return tokens;
}

QJsonObject doneAnswer(const QList<SseEvent>& events) {
    if (events.isEmpty() || events.last().name != "done")
        return {};
    return events.last().data.value("answers").toArray().first().toObject();
}

struct ModeRow {
    const char* name;
    QString text;
    QStringList images;
    QJsonArray options;
    int historyCount;
    QString summary;
    QString prompt;    // the system prompt's section
    QStringList roles; // of every message sent
    QString userText;  // the text the last message carries
};
struct TokenRow {
    const char* name;
    QList<QByteArray> chunks;
    QStringList tokens;
    QString text;
};
struct JsonRow {
    const char* name;
    QString reply;
    QString text;
    QStringList choice;
    double confidence; // negative: none
};
struct UpstreamRow {
    const char* name;
    QString path;
    int upstream; // 0: nothing listens there
    QByteArray upstreamRetryAfter;
    int status;
    QByteArray retryAfter; // null: no header
    QString detailHas;
};
struct BrokenRow {
    const char* name;
    QString path;
    QList<QByteArray> chunks;
    bool cut;
    QString detailHas;
};

} // namespace

Q_DECLARE_METATYPE(ModeRow)
Q_DECLARE_METATYPE(TokenRow)
Q_DECLARE_METATYPE(JsonRow)
Q_DECLARE_METATYPE(UpstreamRow)
Q_DECLARE_METATYPE(BrokenRow)

namespace {
// Replies in the shapes models write answers in. (Out of the class: moc misreads the raw
// strings there.)
void addJsonRows() {
    const QString broken = R"({"text":"Jawaban terpotong)";
    // clang-format off
    addRows<JsonRow>({
        {"object", R"({"text":"Jawabannya 4.","choice":["b"],"confidence":0.9})",
         "Jawabannya 4.", {"b"}, 0.9},
        {"object in a code fence",
         "```json\n{\"text\":\"Benar.\",\"choice\":[\"a\",\"c\"],\"confidence\":0.5}\n```",
         "Benar.", {"a", "c"}, 0.5},
        {"one choice as a string, confidence over 1",
         R"({"text":"Itu C.","choice":"C","confidence":1.7})", "Itu C.", {"C"}, 1.0},
        {"no options, no confidence", R"({"text":"Esai singkat.","choice":[]})",
         "Esai singkat.", {}, -1},
        {"broken object arrives as text", broken, broken, {}, -1},
        {"prose arrives as text", " Jawabannya B. ", "Jawabannya B.", {}, -1},
        {"an object of other keys arrives as text", R"({"answer":"x"})", R"({"answer":"x"})",
         {}, -1}});
    // clang-format on
}
} // namespace

class AnswerdModelTest : public QObject {
    Q_OBJECT
    TestEnvironment m_env;
    FakeModel m_model;
    std::map<QString, AnswerdProcess> m_byEndpoint;

    // The service for `endpoint` (the fake model by default), started on first use.
    AnswerdProcess* service(QString endpoint = {}) {
        if (endpoint.isEmpty())
            endpoint = m_model.endpoint();
        if (const auto found = m_byEndpoint.find(endpoint); found != m_byEndpoint.end())
            return &found->second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("NOTCHORA_TEST_MODEL_KEY", QString::fromLatin1(apiKey));
        if (m_byEndpoint[endpoint].start({"--model-endpoint", endpoint, "--model", "test-model",
                                          "--api-key-env", "NOTCHORA_TEST_MODEL_KEY", "--log"},
                                         environment))
            return &m_byEndpoint[endpoint];
        m_byEndpoint.erase(endpoint);
        return nullptr;
    }
    // Signs in and posts `body`; status 0 when the service did not start.
    HttpReply post(const QString& path, const QJsonObject& body, const QString& endpoint = {}) {
        AnswerdProcess* server = service(endpoint);
        if (!server)
            return {};
        AnswerdClient client(*server);
        return client.postJson(path, body, client.accessToken());
    }

private slots:
    void initTestCase() { QVERIFY(m_model.start()); }

    void messagesPerMode_data() {
        const QJsonArray options{QJsonObject{{"id", "a"}, {"text", "tiga"}},
                                 QJsonObject{{"id", "b"}, {"text", "empat"}}};
        const QStringList plain{"system", "user"};
        // clang-format off
        addRows<ModeRow>({
            {"ask", "Apa itu fotosintesis?", {}, {}, 0, "", "ask", plain, "Apa itu fotosintesis?"},
            {"follow-up: summary, then turns oldest first", "Lalu?", {}, {}, 3,
             "sudah dibahas {options}", "follow_up",
             {"system", "system", "user", "assistant", "user", "user"}, "Lalu?"},
            {"answer the screen: images only", "", {image1, image2}, {}, 0, "", "answer_screen",
             plain, ""},
            {"explain the screen", "Jelaskan isi layar ini.", {image1}, {}, 0, "",
             "explain_screen", plain, "Jelaskan isi layar ini."},
            {"summarize the screen", "Ringkas isi layar ini.", {image1}, {}, 0, "",
             "summarize_screen", plain, "Ringkas isi layar ini."},
            {"options listed for the model", "2 + 2?", {}, options, 0, "", "ask", plain,
             "2 + 2?\n\n"}});
        // clang-format on
    }
    void messagesPerMode() {
        QFETCH(ModeRow, row);
        m_model.setReply(FakeModel::streaming(FakeModel::streamOf({"Jawaban ", "model."})));
        const HttpReply reply = post(answerPath, questionBody(row.text, row.images, row.options,
                                                              row.historyCount, row.summary));
        QCOMPARE(reply.json().value("answers")[0]["text"].toString(), "Jawaban model.");
        const QJsonObject sent = m_model.requests().last();
        QCOMPARE(sent.value("model").toString(), "test-model");
        QCOMPARE(sent.value("stream").toBool(), true);
        QCOMPARE(m_model.authorizations().last(), "Bearer " + apiKey);
        const QJsonArray messages = sent.value("messages").toArray();
        QStringList sentRoles;
        for (const QJsonValue& message : messages)
            sentRoles.append(message["role"].toString());
        QCOMPARE(sentRoles, row.roles);
        const PromptBook& book = PromptBook::builtIn();
        const QString system = messages.first()["content"].toString();
        QVERIFY2(system.startsWith(book.text(row.prompt)), qPrintable(system));
        QCOMPARE(system.contains(book.text("options_json")), !row.options.isEmpty());
        if (!row.summary.isEmpty())
            QCOMPARE(messages[1]["content"].toString(),
                     book.text("summary").replace("{summary}", row.summary));
        for (int i = 0; i < row.historyCount; ++i)
            QCOMPARE(messages[row.roles.size() - 1 - row.historyCount + i]["content"].toString(),
                     QStringLiteral("pesan %1").arg(i));
        const QJsonValue content = messages.last()["content"];
        if (row.images.isEmpty()) {
            QVERIFY2(content.toString().startsWith(row.userText), qPrintable(content.toString()));
            for (const QJsonValue& option : row.options)
                QVERIFY(content.toString().contains(option["id"].toString() + ". " +
                                                    option["text"].toString()));
            return;
        }
        // Images travel as image parts, in order, after the text part when there is text.
        QJsonArray parts;
        if (!row.userText.isEmpty())
            parts.append(QJsonObject{{"type", "text"}, {"text", row.userText}});
        for (const QString& image : row.images)
            parts.append(
                QJsonObject{{"type", "image_url"}, {"image_url", QJsonObject{{"url", image}}}});
        QCOMPARE(content.toArray(), parts);
    }

    void tokensFollowTheModel_data() {
        const auto delta = &FakeModel::delta;
        const QByteArray cafe = delta("caf") + delta("é ☕");
        const qsizetype middle = cafe.indexOf("é") + 1; // inside the two bytes of "é"
        const QByteArray roleOnly =
            "data: {\"choices\":[{\"delta\":{\"role\":\"assistant\"}}]}\n\n";
        const QByteArray stop =
            "data: {\"choices\":[{\"delta\":{},\"finish_reason\":\"stop\"}]}\n\n";
        // clang-format off
        addRows<TokenRow>({
            {"one delta per write", FakeModel::streamOf({"Ha", "lo ", "dunia"}),
             {"Ha", "lo ", "dunia"}, "Halo dunia"},
            {"a write ending inside a character",
             {cafe.left(middle), cafe.mid(middle), FakeModel::done()}, {"caf", "é ☕"}, "café ☕"},
            {"empty and role-only deltas carry nothing",
             {roleOnly, delta(""), delta("x"), FakeModel::done()}, {"x"}, "x"},
            {"several events in one write",
             {delta("a") + delta("b") + delta("c") + FakeModel::done()}, {"a", "b", "c"}, "abc"},
            {"CRLF lines and comments",
             {": keep-alive\r\n\r\n", delta("satu").replace("\n", "\r\n"),
              FakeModel::done().replace("\n", "\r\n")}, {"satu"}, "satu"},
            {"nothing after [DONE]", {delta("akhir"), FakeModel::done(), delta("sisa")}, {"akhir"},
             "akhir"},
            {"a finish reason without [DONE]", {delta("selesai"), stop}, {"selesai"}, "selesai"}});
        // clang-format on
    }
    void tokensFollowTheModel() {
        QFETCH(TokenRow, row);
        m_model.setReply(FakeModel::streaming(row.chunks));
        const HttpReply reply = post(streamPath, questionBody("Tanya"));
        const QList<SseEvent> events = parseEventStream(reply.body);
        QCOMPARE(tokensOf(events), row.tokens);
        QCOMPARE(doneAnswer(events).value("text").toString(), row.text);
    }

    void jsonAnswers_data() { addJsonRows(); }
    void jsonAnswers() {
        QFETCH(JsonRow, row);
        // The reply in three pieces, as a model writes it.
        const QString& reply = row.reply;
        const qsizetype third = reply.size() / 3;
        m_model.setReply(FakeModel::streaming(FakeModel::streamOf(
            {reply.left(third), reply.mid(third, third), reply.mid(2 * third)})));
        const HttpReply http = post(streamPath, questionBody("", {image1}));
        const QList<SseEvent> events = parseEventStream(http.body);
        // What streams is what the model wrote, so the program shows it as it grows.
        QCOMPARE(tokensOf(events).join(QString()), reply);
        const QJsonObject answer = doneAnswer(events);
        QCOMPARE(answer.value("text").toString(), row.text);
        QCOMPARE(answer.value("choice").toVariant().toStringList(), row.choice);
        QCOMPARE(answer.value("confidence").toDouble(-1), row.confidence);
    }

    void compaction_data() {
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("summary");
        QTest::newRow("first summary") << QString() << "  Pengguna bertanya. "
                                       << "Pengguna bertanya.";
        QTest::newRow("earlier summary goes along") << "Ringkasan lama."
                                                    << "Ringkasan baru."
                                                    << "Ringkasan baru.";
        QTest::newRow("cut to what the program accepts")
            << QString() << QString(7000, u'r') << QString(6000, u'r');
    }
    void compaction() {
        QFETCH(QString, previous);
        QFETCH(QString, reply);
        QFETCH(QString, summary);
        m_model.setReply(FakeModel::streaming(FakeModel::streamOf({reply})));
        QJsonObject body = AnswerdClient::compactionBody(3);
        if (!previous.isEmpty())
            body["summary"] = previous;
        const HttpReply http = post(compactPath, body);
        QCOMPARE(http.json().value("summary").toString(), summary);
        const QJsonArray messages = m_model.requests().last().value("messages").toArray();
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages[0]["content"].toString().startsWith(
            PromptBook::builtIn().text("compact").section('{', 0, 0)));
        const QString transcript = messages[1]["content"].toString();
        QVERIFY2(transcript.indexOf("pesan 0") < transcript.indexOf("pesan 2"),
                 qPrintable(transcript));
        QVERIFY(transcript.contains(previous));
    }

    void upstreamFailures_data() {
        addRows<UpstreamRow>({{"unreachable", streamPath, 0, {}, 503, {}, "{endpoint}"},
                              {"500", streamPath, 500, {}, 503, {}, "{endpoint}"},
                              {"503", answerPath, 503, {}, 503, {}, "{endpoint}"},
                              {"429 with a wait", compactPath, 429, "7", 429, "7", "sibuk"},
                              {"429 without a wait", streamPath, 429, {}, 429, {}, "sibuk"},
                              {"401", streamPath, 401, {}, 502, {}, "ditolak"},
                              {"403", compactPath, 403, {}, 502, {}, "ditolak"},
                              {"400", answerPath, 400, {}, 502, {}, "status 400"}});
    }
    void upstreamFailures() {
        QFETCH(UpstreamRow, row);
        QString endpoint = m_model.endpoint();
        if (row.upstream == 0) {
            TestHttpServer closed;
            QVERIFY(closed.start());
            endpoint = closed.url("/v1").toString();
        }
        m_model.setReply(FakeModel::refusing(row.upstream, row.upstreamRetryAfter));
        QJsonObject body = AnswerdClient::answerBody("x", 1);
        if (row.path == compactPath)
            body.remove("questions");
        const HttpReply reply = post(row.path, body, endpoint);
        QCOMPARE(reply.status, row.status);
        QCOMPARE(reply.hasRetryAfter, !row.retryAfter.isNull());
        QCOMPARE(reply.retryAfter, row.retryAfter);
        const QString detail = reply.json().value("detail").toString();
        QVERIFY2(detail.contains(QString(row.detailHas).replace("{endpoint}", endpoint)),
                 qPrintable(detail));
    }

    void brokenReplies_data() {
        const QList<QByteArray> partial{FakeModel::delta("Sebagian ")};
        const QList<QByteArray> failing{
            FakeModel::delta("Sebagian "),
            "data: {\"error\":{\"message\":\"context length exceeded\"}}\n\n"};
        const QList<QByteArray> endless{FakeModel::delta("Sebagian "),
                                        FakeModel::delta(QString(1024 * 1024, u'x'))};
        // clang-format off
        addRows<BrokenRow>({
            {"stream cut", streamPath, partial, true, "terputus"},
            {"stream ends with an error", streamPath, failing, false, "context length exceeded"},
            {"one-shot cut", answerPath, partial, true, "terputus"},
            {"one-shot error", answerPath, failing, false, "context length exceeded"},
            {"stream too long", streamPath, endless, false, "terlalu panjang"},
            {"one-shot too long", answerPath, endless, false, "terlalu panjang"}});
        // clang-format on
    }
    void brokenReplies() {
        QFETCH(BrokenRow, row);
        m_model.setReply(FakeModel::streaming(row.chunks, row.cut));
        const HttpReply reply = post(row.path, questionBody("Tanya"));
        if (row.path == answerPath) {
            QCOMPARE(reply.status, 502);
            QVERIFY2(reply.json().value("detail").toString().contains(row.detailHas), reply.body);
            return;
        }
        // The stream has begun: what was said stays, and an error event ends it.
        QCOMPARE(reply.status, 200);
        const QList<SseEvent> events = parseEventStream(reply.body);
        QCOMPARE(tokensOf(events), QStringList{"Sebagian "});
        QCOMPARE(events.last().name, "error");
        QVERIFY2(events.last().data.value("detail").toString().contains(row.detailHas), reply.body);
    }

    void clientHangUpCancelsTheModel() {
        AnswerdProcess* server = service();
        QVERIFY(server);
        m_model.setReply(FakeModel::streaming({FakeModel::delta("Mulai ")}, false, true));
        QNetworkAccessManager network;
        QNetworkRequest request(server->url(streamPath));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        request.setRawHeader("Authorization",
                             "Bearer " + AnswerdClient(*server).accessToken().toUtf8());
        QNetworkReply* reply = network.post(request, QJsonDocument(questionBody("Tanya")).toJson());
        // The first words arrive while the model is still writing.
        QByteArray received;
        QTRY_VERIFY_WITH_TIMEOUT((received += reply->readAll()).contains("Mulai "), 10000);
        QVERIFY(!reply->isFinished());
        QVERIFY(!m_model.sawHangUp());
        reply->abort();
        QTRY_VERIFY_WITH_TIMEOUT(m_model.sawHangUp(), 5000);
    }

    void keyStaysOutOfTheLog() {
        // Something to log: a refused key.
        m_model.setReply(FakeModel::refusing(401));
        QCOMPARE(post(answerPath, questionBody("x")).status, 502);
        AnswerdProcess* server = service();
        server->stop();
        const QByteArray log = server->errorOutput();
        QVERIFY2(log.contains("POST /api/v1/answer 502"), log);
        QVERIFY(!log.contains(apiKey));
        m_byEndpoint.erase(m_model.endpoint());
    }
};

QTEST_GUILESS_MAIN(AnswerdModelTest)
#include "tst_answerdmodel.moc"
