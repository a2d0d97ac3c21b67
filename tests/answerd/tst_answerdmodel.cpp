#include "AnswerdProcess.h"
#include "FakeModel.h"
#include "PromptBook.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QSignalSpy>
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

QJsonObject questionBody(const QString& text, const QStringList& images,
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

} // namespace

class AnswerdModelTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void messagesPerMode_data();
    void messagesPerMode();
    void tokensFollowTheModel_data();
    void tokensFollowTheModel();
    void jsonAnswers_data();
    void jsonAnswers();
    void compaction_data();
    void compaction();
    void upstreamFailures_data();
    void upstreamFailures();
    void brokenReplies_data();
    void brokenReplies();
    void clientHangUpCancelsTheModel();
    void keyStaysOutOfTheLog();

private:
    AnswerdProcess* service(const QString& endpoint);
    QString signIn(AnswerdProcess& server);

    TestEnvironment m_env;
    FakeModel m_model;
    std::map<QString, AnswerdProcess> m_byEndpoint;
};

void AnswerdModelTest::initTestCase() {
    QVERIFY(m_model.start());
}

AnswerdProcess* AnswerdModelTest::service(const QString& endpoint) {
    const auto found = m_byEndpoint.find(endpoint);
    if (found != m_byEndpoint.end())
        return &found->second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NOTCHORA_TEST_MODEL_KEY", QString::fromLatin1(apiKey));
    AnswerdProcess& process = m_byEndpoint[endpoint];
    if (!process.start({"--model-endpoint", endpoint, "--model", "test-model", "--api-key-env",
                        "NOTCHORA_TEST_MODEL_KEY", "--log"},
                       environment)) {
        m_byEndpoint.erase(endpoint);
        return nullptr;
    }
    return &process;
}

QString AnswerdModelTest::signIn(AnswerdProcess& server) {
    AnswerdClient client(server);
    return client.signIn().value("access_token").toString();
}

void AnswerdModelTest::messagesPerMode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("images");
    QTest::addColumn<QJsonArray>("options");
    QTest::addColumn<int>("historyCount");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("prompt");    // the system prompt's section
    QTest::addColumn<QStringList>("roles"); // of every message sent
    QTest::addColumn<QString>("userText");  // the text the last message carries

    const QJsonArray options{QJsonObject{{"id", "a"}, {"text", "tiga"}},
                             QJsonObject{{"id", "b"}, {"text", "empat"}}};
    QTest::newRow("ask") << "Apa itu fotosintesis?" << QStringList() << QJsonArray() << 0 << ""
                         << "ask" << QStringList{"system", "user"} << "Apa itu fotosintesis?";
    QTest::newRow("follow-up: summary, then turns oldest first")
        << "Lalu?" << QStringList() << QJsonArray() << 3 << "sudah dibahas {options}"
        << "follow_up" << QStringList{"system", "system", "user", "assistant", "user", "user"}
        << "Lalu?";
    QTest::newRow("answer the screen: images only")
        << "" << QStringList{image1, image2} << QJsonArray() << 0 << ""
        << "answer_screen" << QStringList{"system", "user"} << "";
    QTest::newRow("explain the screen")
        << "Jelaskan isi layar ini." << QStringList{image1} << QJsonArray() << 0 << ""
        << "explain_screen" << QStringList{"system", "user"} << "Jelaskan isi layar ini.";
    QTest::newRow("summarize the screen")
        << "Ringkas isi layar ini." << QStringList{image1} << QJsonArray() << 0 << ""
        << "summarize_screen" << QStringList{"system", "user"} << "Ringkas isi layar ini.";
    QTest::newRow("options listed for the model")
        << "2 + 2?" << QStringList() << options << 0 << ""
        << "ask" << QStringList{"system", "user"} << "2 + 2?\n\n";
}

void AnswerdModelTest::messagesPerMode() {
    QFETCH(QString, text);
    QFETCH(QStringList, images);
    QFETCH(QJsonArray, options);
    QFETCH(int, historyCount);
    QFETCH(QString, summary);
    QFETCH(QString, prompt);
    QFETCH(QStringList, roles);
    QFETCH(QString, userText);

    AnswerdProcess* server = service(m_model.endpoint());
    QVERIFY(server);
    m_model.setReply({200, {}, FakeModel::streamOf({"Jawaban ", "model."}), false, false});
    AnswerdClient client(*server);
    const HttpReply reply = client.postJson(
        answerPath, questionBody(text, images, options, historyCount, summary), signIn(*server));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.json().value("answers").toArray().first().toObject().value("text").toString(),
             "Jawaban model.");

    const QJsonObject sent = m_model.requests().last();
    QCOMPARE(sent.value("model").toString(), "test-model");
    QCOMPARE(sent.value("stream").toBool(), true);
    QCOMPARE(m_model.authorizations().last(), "Bearer " + apiKey);
    const QJsonArray messages = sent.value("messages").toArray();
    QStringList sentRoles;
    for (const QJsonValue& message : messages)
        sentRoles.append(message["role"].toString());
    QCOMPARE(sentRoles, roles);

    const PromptBook& book = PromptBook::builtIn();
    const QString system = messages.first()["content"].toString();
    QVERIFY2(system.startsWith(book.text(prompt)), qPrintable(system));
    QCOMPARE(system.contains(book.text("options_json")), !options.isEmpty());
    if (!summary.isEmpty())
        QCOMPARE(messages[1]["content"].toString(),
                 book.text("summary").replace("{summary}", summary));
    for (int i = 0; i < historyCount; ++i)
        QCOMPARE(messages[roles.size() - 1 - historyCount + i]["content"].toString(),
                 QStringLiteral("pesan %1").arg(i));

    const QJsonValue content = messages.last()["content"];
    if (images.isEmpty()) {
        QVERIFY2(content.toString().startsWith(userText), qPrintable(content.toString()));
        for (const QJsonValue& option : options)
            QVERIFY(content.toString().contains(option["id"].toString() + ". " +
                                                option["text"].toString()));
        return;
    }
    // Images travel as image parts, in order, after the text part when there is text.
    const QJsonArray parts = content.toArray();
    const int textParts = userText.isEmpty() ? 0 : 1;
    QCOMPARE(parts.size(), images.size() + textParts);
    if (textParts)
        QCOMPARE(parts.first()["text"].toString(), userText);
    for (int i = 0; i < images.size(); ++i) {
        QCOMPARE(parts[textParts + i]["type"].toString(), "image_url");
        QCOMPARE(parts[textParts + i]["image_url"]["url"].toString(), images[i]);
    }
}

void AnswerdModelTest::tokensFollowTheModel_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("tokens");
    QTest::addColumn<QString>("text");

    QTest::newRow("one delta per write") << FakeModel::streamOf({"Ha", "lo ", "dunia"})
                                         << QStringList{"Ha", "lo ", "dunia"} << "Halo dunia";
    const QByteArray cafe = FakeModel::delta("caf") + FakeModel::delta("é ☕");
    const qsizetype middle = cafe.indexOf("é") + 1; // inside the two bytes of "é"
    QTest::newRow("a write ending inside a character")
        << QList<QByteArray>{cafe.left(middle), cafe.mid(middle), FakeModel::done()}
        << QStringList{"caf", "é ☕"} << "café ☕";
    QTest::newRow("empty and role-only deltas carry nothing")
        << QList<QByteArray>{"data: {\"choices\":[{\"delta\":{\"role\":\"assistant\"}}]}\n\n",
                             FakeModel::delta(""), FakeModel::delta("x"), FakeModel::done()}
        << QStringList{"x"} << "x";
    QTest::newRow("several events in one write")
        << QList<QByteArray>{FakeModel::delta("a") + FakeModel::delta("b") + FakeModel::delta("c") +
                             FakeModel::done()}
        << QStringList{"a", "b", "c"} << "abc";
    QTest::newRow("CRLF lines and comments")
        << QList<QByteArray>{": keep-alive\r\n\r\n", FakeModel::delta("satu").replace("\n", "\r\n"),
                             FakeModel::done().replace("\n", "\r\n")}
        << QStringList{"satu"} << "satu";
    QTest::newRow("nothing after [DONE]")
        << QList<QByteArray>{FakeModel::delta("akhir"), FakeModel::done(), FakeModel::delta("sisa")}
        << QStringList{"akhir"} << "akhir";
    QTest::newRow("a finish reason without [DONE]")
        << QList<QByteArray>{FakeModel::delta("selesai"),
                             "data: {\"choices\":[{\"delta\":{},\"finish_reason\":\"stop\"}]}\n\n"}
        << QStringList{"selesai"} << "selesai";
}

void AnswerdModelTest::tokensFollowTheModel() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, tokens);
    QFETCH(QString, text);

    AnswerdProcess* server = service(m_model.endpoint());
    QVERIFY(server);
    m_model.setReply({200, {}, chunks, false, false});
    AnswerdClient client(*server);
    const HttpReply reply = client.postJson(streamPath, questionBody("Tanya", {}), signIn(*server));
    QCOMPARE(reply.status, 200);
    const QList<SseEvent> events = parseEventStream(reply.body);
    QCOMPARE(tokensOf(events), tokens);
    QCOMPARE(doneAnswer(events).value("text").toString(), text);
}

void AnswerdModelTest::jsonAnswers_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("choice");
    QTest::addColumn<double>("confidence"); // negative: none

    QTest::newRow("object") << R"({"text":"Jawabannya 4.","choice":["b"],"confidence":0.9})"
                            << "Jawabannya 4." << QStringList{"b"} << 0.9;
    QTest::newRow("object in a code fence")
        << "```json\n{\"text\":\"Benar.\",\"choice\":[\"a\",\"c\"],\"confidence\":0.5}\n```"
        << "Benar." << QStringList{"a", "c"} << 0.5;
    QTest::newRow("one choice as a string, confidence over 1")
        << R"({"text":"Itu C.","choice":"C","confidence":1.7})"
        << "Itu C." << QStringList{"C"} << 1.0;
    QTest::newRow("no options, no confidence") << R"({"text":"Esai singkat.","choice":[]})"
                                               << "Esai singkat." << QStringList() << -1.0;
    QTest::newRow("broken object arrives as text")
        << R"({"text":"Jawaban terpotong)"
        << R"({"text":"Jawaban terpotong)" << QStringList() << -1.0;
    QTest::newRow("prose arrives as text") << " Jawabannya B. "
                                           << "Jawabannya B." << QStringList() << -1.0;
    QTest::newRow("an object of other keys arrives as text")
        << R"({"answer":"x"})"
        << R"({"answer":"x"})" << QStringList() << -1.0;
}

void AnswerdModelTest::jsonAnswers() {
    QFETCH(QString, reply);
    QFETCH(QString, text);
    QFETCH(QStringList, choice);
    QFETCH(double, confidence);

    AnswerdProcess* server = service(m_model.endpoint());
    QVERIFY(server);
    // The reply in three pieces, as a model writes it.
    const qsizetype third = reply.size() / 3;
    m_model.setReply(
        {200,
         {},
         FakeModel::streamOf({reply.left(third), reply.mid(third, third), reply.mid(2 * third)}),
         false,
         false});
    AnswerdClient client(*server);
    const HttpReply http = client.postJson(streamPath, questionBody("", {image1}), signIn(*server));
    QCOMPARE(http.status, 200);
    const QList<SseEvent> events = parseEventStream(http.body);
    // What streams is what the model wrote, so the program shows it as it grows.
    QCOMPARE(tokensOf(events).join(QString()), reply);
    const QJsonObject answer = doneAnswer(events);
    QCOMPARE(answer.value("text").toString(), text);
    QCOMPARE(answer.value("choice").toVariant().toStringList(), choice);
    QCOMPARE(answer.contains("confidence"), confidence >= 0);
    if (confidence >= 0)
        QCOMPARE(answer.value("confidence").toDouble(), confidence);
}

void AnswerdModelTest::compaction_data() {
    QTest::addColumn<QString>("previous");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("summary");

    QTest::newRow("first summary") << ""
                                   << "  Pengguna bertanya tentang fotosintesis. "
                                   << "Pengguna bertanya tentang fotosintesis.";
    QTest::newRow("earlier summary goes along") << "Ringkasan lama."
                                                << "Ringkasan baru."
                                                << "Ringkasan baru.";
    QTest::newRow("cut to what the program accepts")
        << "" << QString(7000, u'r') << QString(6000, u'r');
}

void AnswerdModelTest::compaction() {
    QFETCH(QString, previous);
    QFETCH(QString, reply);
    QFETCH(QString, summary);

    AnswerdProcess* server = service(m_model.endpoint());
    QVERIFY(server);
    m_model.setReply({200, {}, FakeModel::streamOf({reply}), false, false});
    QJsonObject body = AnswerdClient::answerBody("", 3);
    body.remove("questions");
    body.remove("essay_style");
    if (!previous.isEmpty())
        body["summary"] = previous;
    AnswerdClient client(*server);
    const HttpReply http = client.postJson(compactPath, body, signIn(*server));
    QCOMPARE(http.status, 200);
    QCOMPARE(http.json().value("summary").toString(), summary);

    const QJsonArray messages = m_model.requests().last().value("messages").toArray();
    QCOMPARE(messages.size(), 2);
    QVERIFY(messages[0]["content"].toString().startsWith(
        PromptBook::builtIn().text("compact").section('{', 0, 0)));
    const QString transcript = messages[1]["content"].toString();
    QVERIFY2(transcript.indexOf("pesan 0") < transcript.indexOf("pesan 2"), qPrintable(transcript));
    QCOMPARE(transcript.contains(previous), true);
}

void AnswerdModelTest::upstreamFailures_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("upstream"); // 0: nothing listens there
    QTest::addColumn<QByteArray>("upstreamRetryAfter");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("retryAfter"); // null: no header
    QTest::addColumn<QString>("detailHas");

    const QByteArray none;
    for (const QString& path : {streamPath, answerPath, compactPath}) {
        const QByteArray at = " at " + path.toUtf8();
        QTest::newRow("unreachable" + at) << path << 0 << none << 503 << none << "{endpoint}";
        QTest::newRow("429 with a wait" + at)
            << path << 429 << QByteArray("7") << 429 << QByteArray("7") << "sibuk";
    }
    QTest::newRow("500") << streamPath << 500 << none << 503 << none << "{endpoint}";
    QTest::newRow("503") << answerPath << 503 << none << 503 << none << "{endpoint}";
    QTest::newRow("429 without a wait") << streamPath << 429 << none << 429 << none << "sibuk";
    QTest::newRow("401") << streamPath << 401 << none << 502 << none << "ditolak";
    QTest::newRow("403") << compactPath << 403 << none << 502 << none << "ditolak";
    QTest::newRow("400") << answerPath << 400 << none << 502 << none << "status 400";
}

void AnswerdModelTest::upstreamFailures() {
    QFETCH(QString, path);
    QFETCH(int, upstream);
    QFETCH(QByteArray, upstreamRetryAfter);
    QFETCH(int, status);
    QFETCH(QByteArray, retryAfter);
    QFETCH(QString, detailHas);

    QString endpoint = m_model.endpoint();
    if (upstream == 0) {
        TestHttpServer closed;
        QVERIFY(closed.start());
        endpoint = closed.url("/v1").toString();
    }
    AnswerdProcess* server = service(endpoint);
    QVERIFY(server);
    m_model.setReply({upstream, upstreamRetryAfter, {}, false, false});
    QJsonObject body = AnswerdClient::answerBody("x", 1);
    if (path == compactPath)
        body.remove("questions");
    AnswerdClient client(*server);
    const HttpReply reply = client.postJson(path, body, signIn(*server));
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.hasRetryAfter, !retryAfter.isNull());
    QCOMPARE(reply.retryAfter, retryAfter);
    const QString detail = reply.json().value("detail").toString();
    QVERIFY2(detail.contains(QString(detailHas).replace("{endpoint}", endpoint)),
             qPrintable(detail));
}

void AnswerdModelTest::brokenReplies_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QString>("detailHas");

    const QList<QByteArray> partial{FakeModel::delta("Sebagian ")};
    const QList<QByteArray> failing{
        FakeModel::delta("Sebagian "),
        "data: {\"error\":{\"message\":\"context length exceeded\"}}\n\n"};
    QTest::newRow("stream cut") << streamPath << partial << true << "terputus";
    QTest::newRow("stream ends with an error")
        << streamPath << failing << false << "context length exceeded";
    QTest::newRow("one-shot cut") << answerPath << partial << true << "terputus";
    QTest::newRow("one-shot error") << answerPath << failing << false << "context length exceeded";
    const QList<QByteArray> endless{FakeModel::delta("Sebagian "),
                                    FakeModel::delta(QString(1024 * 1024, u'x'))};
    QTest::newRow("stream too long") << streamPath << endless << false << "terlalu panjang";
    QTest::newRow("one-shot too long") << answerPath << endless << false << "terlalu panjang";
}

void AnswerdModelTest::brokenReplies() {
    QFETCH(QString, path);
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(bool, cut);
    QFETCH(QString, detailHas);

    AnswerdProcess* server = service(m_model.endpoint());
    QVERIFY(server);
    m_model.setReply({200, {}, chunks, cut, false});
    AnswerdClient client(*server);
    const HttpReply reply = client.postJson(path, questionBody("Tanya", {}), signIn(*server));
    if (path == answerPath) {
        QCOMPARE(reply.status, 502);
        QVERIFY2(reply.json().value("detail").toString().contains(detailHas), reply.body);
        return;
    }
    // The stream has begun: what was said stays, and an error event ends it.
    QCOMPARE(reply.status, 200);
    const QList<SseEvent> events = parseEventStream(reply.body);
    QCOMPARE(tokensOf(events), QStringList{"Sebagian "});
    QCOMPARE(events.last().name, "error");
    QVERIFY2(events.last().data.value("detail").toString().contains(detailHas), reply.body);
}

void AnswerdModelTest::clientHangUpCancelsTheModel() {
    AnswerdProcess* server = service(m_model.endpoint());
    QVERIFY(server);
    m_model.setReply({200, {}, {FakeModel::delta("Mulai ")}, false, true});
    QNetworkAccessManager network;
    QNetworkRequest request(server->url(streamPath));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    request.setRawHeader("Authorization", "Bearer " + signIn(*server).toUtf8());
    QNetworkReply* reply = network.post(
        request, QJsonDocument(questionBody("Tanya", {})).toJson(QJsonDocument::Compact));
    // The first words arrive while the model is still writing.
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT((received += reply->readAll()).contains("Mulai "), 10000);
    QVERIFY(!reply->isFinished());
    QVERIFY(!m_model.sawHangUp());
    reply->abort();
    reply->deleteLater();
    QTRY_VERIFY_WITH_TIMEOUT(m_model.sawHangUp(), 5000);
}

void AnswerdModelTest::keyStaysOutOfTheLog() {
    AnswerdProcess* server = service(m_model.endpoint());
    QVERIFY(server);
    // Something to log: a refused key.
    m_model.setReply({401, {}, {}, false, false});
    AnswerdClient client(*server);
    QCOMPARE(client.postJson(answerPath, questionBody("x", {}), signIn(*server)).status, 502);
    server->stop();
    const QByteArray log = server->errorOutput();
    QVERIFY2(log.contains("POST /api/v1/answer 502"), log);
    QVERIFY(!log.contains(apiKey));
    m_byEndpoint.erase(m_model.endpoint());
}

QTEST_GUILESS_MAIN(AnswerdModelTest)
#include "tst_answerdmodel.moc"
