#include "AnswerdProcess.h"
#include "TestEnvironment.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QNetworkReply>
#include <QTest>

using namespace notchora::test;

namespace {

const QString tokenPath = QStringLiteral("/api/oauth/token");
const QString streamPath = QStringLiteral("/api/v1/answer/stream");
const QString answerPath = QStringLiteral("/api/v1/answer");
const QString compactPath = QStringLiteral("/api/v1/answer/compact");

QJsonObject refreshBody(const QString& token) {
    return {{"grant_type", "refresh_token"},
            {"refresh_token", token},
            {"client_id", "notchora-desktop"}};
}

} // namespace

class AnswerdApiTest : public QObject {
    Q_OBJECT
private slots:
    void bearerIsChecked_data();
    void bearerIsChecked();
    void streamEventsInOrder();
    void oneShotAndCompaction();
    void bodyLimits_data();
    void bodyLimits();
    void failureStatuses_data();
    void failureStatuses();
    void streamFailures_data();
    void streamFailures();
    void slowTokensAreSpacedOut();

private:
    TestEnvironment m_env;
    AnswerdPool m_services;
};

void AnswerdApiTest::bearerIsChecked_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("how"); // 0 none, 1 made up, 2 the refresh token, 3 right
    QTest::addColumn<int>("status");
    for (const QString& path : {streamPath, answerPath, compactPath}) {
        const QByteArray name = path.toUtf8();
        QTest::newRow(name + " without token") << path << 0 << 401;
        QTest::newRow(name + " made-up token") << path << 1 << 401;
        QTest::newRow(name + " refresh token as bearer") << path << 2 << 401;
        QTest::newRow(name + " right token") << path << 3 << 200;
    }
}

void AnswerdApiTest::bearerIsChecked() {
    QFETCH(QString, path);
    QFETCH(int, how);
    QFETCH(int, status);
    AnswerdProcess* server = m_services.get();
    QVERIFY(server);
    AnswerdClient client(*server);
    const QJsonObject tokens = client.signIn();
    const QString bearer = how == 0   ? QString()
                           : how == 1 ? QStringLiteral("abc")
                           : how == 2 ? tokens.value("refresh_token").toString()
                                      : tokens.value("access_token").toString();
    const HttpReply reply = client.postJson(path, AnswerdClient::answerBody("x", 2), bearer);
    QCOMPARE(reply.status, status);
    if (status == 401)
        QVERIFY(!reply.json().value("detail").toString().isEmpty());
}

void AnswerdApiTest::streamEventsInOrder() {
    AnswerdProcess* server = m_services.get();
    QVERIFY(server);
    AnswerdClient client(*server);
    const QString token = client.signIn().value("access_token").toString();
    // Placeholders in a question are text like any other.
    QJsonObject body = AnswerdClient::answerBody("Berapa 2 + 2? (%1 %2)", 3);
    body["summary"] = "ringkasan lama";
    const HttpReply reply = client.postJson(streamPath, body, token);
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.contentType.startsWith("text/event-stream"));

    const QList<SseEvent> events = parseEventStream(reply.body);
    QVERIFY(events.size() >= 4);
    QString joined;
    for (qsizetype i = 0; i + 1 < events.size(); ++i) {
        QCOMPARE(events[i].name, "token");
        joined += events[i].data.value("text").toString();
    }
    QCOMPARE(events.last().name, "done");
    const QJsonArray answers = events.last().data.value("answers").toArray();
    QCOMPARE(answers.size(), 1);
    const QString text = answers.first().toObject().value("text").toString();
    QCOMPARE(joined, text);
    QVERIFY2(text.contains("Berapa 2 + 2? (%1 %2)"), qPrintable(text));
    QVERIFY2(text.contains("Riwayat: 3 pesan."), qPrintable(text));
    QVERIFY2(text.contains("Dengan ringkasan."), qPrintable(text));
}

void AnswerdApiTest::oneShotAndCompaction() {
    AnswerdProcess* server = m_services.get();
    QVERIFY(server);
    AnswerdClient client(*server);
    const QString token = client.signIn().value("access_token").toString();

    QJsonObject body = AnswerdClient::answerBody("Pilih satu", 0);
    QJsonObject question = body["questions"].toArray().first().toObject();
    question["options"] = QJsonArray{QJsonObject{{"id", "b"}, {"text", "dua"}},
                                     QJsonObject{{"id", "c"}, {"text", "tiga"}}};
    question["images"] = QJsonArray{"data:image/jpeg;base64,/9j/"};
    question["type"] = "screen";
    body["questions"] = QJsonArray{question};
    const HttpReply answer = client.postJson(answerPath, body, token);
    QCOMPARE(answer.status, 200);
    const QJsonObject result = answer.json().value("answers").toArray().first().toObject();
    QCOMPARE(result.value("choice").toArray(), QJsonArray{"b"});
    QVERIFY(result.value("text").toString().contains("Gambar: 1."));
    QVERIFY(result.value("text").toString().contains("Riwayat: 0 pesan."));

    QJsonObject compaction = AnswerdClient::answerBody("", 7);
    compaction.remove("questions");
    compaction.remove("essay_style");
    const HttpReply compact = client.postJson(compactPath, compaction, token);
    QCOMPARE(compact.status, 200);
    const QString summary = compact.json().value("summary").toString();
    QCOMPARE(summary, "Ringkasan 7 pesan.");

    compaction["summary"] = summary;
    const HttpReply again = client.postJson(compactPath, compaction, token);
    QCOMPARE(again.json().value("summary").toString(),
             "Ringkasan 7 pesan. Sebelumnya: Ringkasan 7 pesan.");
}

void AnswerdApiTest::bodyLimits_data() {
    QTest::addColumn<int>("historyCount");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("questionText");
    QTest::addColumn<int>("status");

    // One user-perceived character made of four UTF-16 units.
    const QString thumb = QStringLiteral("\U0001F44D\U0001F3FD");
    QTest::newRow("40 messages") << 40 << ""
                                 << "x" << 200;
    QTest::newRow("41 messages") << 41 << ""
                                 << "x" << 422;
    QTest::newRow("4000 characters") << 1 << thumb.repeated(4000) << "x" << 200;
    QTest::newRow("4001 characters") << 1 << thumb.repeated(4001) << "x" << 422;
    QTest::newRow("8000-character question") << 0 << "" << QString(8000, u'q') << 200;
    QTest::newRow("8001-character question") << 0 << "" << QString(8001, u'q') << 422;
}

void AnswerdApiTest::bodyLimits() {
    QFETCH(int, historyCount);
    QFETCH(QString, content);
    QFETCH(QString, questionText);
    QFETCH(int, status);
    AnswerdProcess* server = m_services.get();
    QVERIFY(server);
    AnswerdClient client(*server);
    const QString token = client.signIn().value("access_token").toString();
    QJsonObject body = AnswerdClient::answerBody(questionText, historyCount);
    if (!content.isEmpty())
        body["history"] = QJsonArray{QJsonObject{{"role", "user"}, {"content", content}}};
    const HttpReply reply = client.postJson(answerPath, body, token);
    QCOMPARE(reply.status, status);
    if (status == 422) {
        const QJsonArray problems = reply.json().value("detail").toArray();
        QCOMPARE(problems.size(), 1);
        QVERIFY(!problems.first().toObject().value("msg").toString().isEmpty());
    }
}

void AnswerdApiTest::failureStatuses_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<int>>("statuses");   // of three calls in a row
    QTest::addColumn<QByteArray>("retryAfter"); // null: no header

    const QByteArray none;
    QTest::newRow("401 once") << QStringList{"--fail", "401-once"} << streamPath
                              << QList<int>{401, 200, 200} << none;
    QTest::newRow("401 always") << QStringList{"--fail", "401"} << streamPath
                                << QList<int>{401, 401, 401} << none;
    QTest::newRow("404 on the stream")
        << QStringList{"--fail", "404"} << streamPath << QList<int>{404, 404, 404} << none;
    QTest::newRow("404 leaves one-shot alone")
        << QStringList{"--fail", "404"} << answerPath << QList<int>{200, 200, 200} << none;
    QTest::newRow("429") << QStringList{"--fail", "429"} << answerPath << QList<int>{429, 429, 429}
                         << QByteArray("10");
    QTest::newRow("429 with chosen wait")
        << QStringList{"--fail", "429", "--retry-after", "37"} << compactPath
        << QList<int>{429, 429, 429} << QByteArray("37");
    QTest::newRow("429 without Retry-After")
        << QStringList{"--fail", "429-bare"} << streamPath << QList<int>{429, 429, 429} << none;
    QTest::newRow("502") << QStringList{"--fail", "502"} << streamPath << QList<int>{502, 502, 502}
                         << none;
    QTest::newRow("503") << QStringList{"--fail", "503"} << compactPath << QList<int>{503, 503, 503}
                         << none;
    QTest::newRow("503 on the token endpoint")
        << QStringList{"--fail", "refresh:503"} << tokenPath << QList<int>{503, 503, 503} << none;
    QTest::newRow("combined: once, then 502")
        << QStringList{"--fail", "401-once,502"} << answerPath << QList<int>{401, 502, 502} << none;
    QTest::newRow("500 with an HTML body")
        << QStringList{"--fail", "oneshot:500"} << answerPath << QList<int>{500, 500, 500} << none;
}

void AnswerdApiTest::failureStatuses() {
    QFETCH(QStringList, args);
    QFETCH(QString, path);
    QFETCH(QList<int>, statuses);
    QFETCH(QByteArray, retryAfter);

    AnswerdProcess* server = m_services.get(args);
    QVERIFY(server);
    AnswerdClient client(*server);
    // Sign-in works unless the rule names the refresh grant alone.
    const QJsonObject tokens = client.signIn();
    QVERIFY(!tokens.value("access_token").toString().isEmpty());
    const QJsonObject body = path == tokenPath
                                 ? refreshBody(tokens.value("refresh_token").toString())
                                 : AnswerdClient::answerBody("x", 1);

    for (int expected : statuses) {
        const HttpReply reply =
            client.postJson(path, body, tokens.value("access_token").toString());
        QCOMPARE(reply.status, expected);
        QCOMPARE(reply.hasRetryAfter, !retryAfter.isNull());
        QCOMPARE(reply.retryAfter, retryAfter);
        if (expected == 500)
            QVERIFY(reply.contentType.startsWith("text/html"));
        else if (expected != 200)
            QVERIFY(!reply.json().value("detail").toString().isEmpty());
    }
}

void AnswerdApiTest::streamFailures_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("lastEvent"); // empty: the stream ends with a token
    QTest::addColumn<QString>("detail");
    QTest::addColumn<bool>("cut"); // the connection breaks instead of ending

    QTest::newRow("error event") << "error-event"
                                 << "error"
                                 << "Model kehabisan waktu." << false;
    QTest::newRow("bare error event") << "error-event-bare"
                                      << "error"
                                      << "" << false;
    QTest::newRow("ends before done") << "end-early"
                                      << ""
                                      << "" << false;
    QTest::newRow("connection dropped") << "drop"
                                        << ""
                                        << "" << true;
    QTest::newRow("empty answers") << "empty"
                                   << "done"
                                   << "" << false;
}

void AnswerdApiTest::streamFailures() {
    QFETCH(QString, mode);
    QFETCH(QString, lastEvent);
    QFETCH(QString, detail);
    QFETCH(bool, cut);

    AnswerdProcess* server = m_services.get({"--fail", mode});
    QVERIFY(server);
    AnswerdClient client(*server);
    const QString token = client.signIn().value("access_token").toString();
    const HttpReply reply =
        client.postJson(streamPath, AnswerdClient::answerBody("q w e r"), token);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.error != QNetworkReply::NoError, cut);

    const QList<SseEvent> events = parseEventStream(reply.body);
    QVERIFY(!events.isEmpty());
    QCOMPARE(events.first().name, "token");
    QCOMPARE(events.last().name, lastEvent.isEmpty() ? QStringLiteral("token") : lastEvent);
    for (const SseEvent& event : events)
        QVERIFY(event.name != "done" || lastEvent == "done");
    if (lastEvent == "error")
        QCOMPARE(events.last().data.value("detail").toString(), detail);
    if (lastEvent == "done")
        QVERIFY(events.last().data.value("answers").toArray().isEmpty());

    if (mode == "empty") {
        const HttpReply oneShot =
            client.postJson(answerPath, AnswerdClient::answerBody("x"), token);
        QCOMPARE(oneShot.status, 200);
        QVERIFY(oneShot.json().value("answers").isArray());
        QVERIFY(oneShot.json().value("answers").toArray().isEmpty());
    }
}

void AnswerdApiTest::slowTokensAreSpacedOut() {
    const int delayMs = 40;
    AnswerdProcess* server = m_services.get({"--fail", "slow", "--token-delay", "40"});
    QVERIFY(server);
    AnswerdClient client(*server);
    const QString token = client.signIn().value("access_token").toString();
    QElapsedTimer timer;
    timer.start();
    const HttpReply reply =
        client.postJson(streamPath, AnswerdClient::answerBody("a b c d"), token);
    const qint64 elapsed = timer.elapsed();
    const QList<SseEvent> events = parseEventStream(reply.body);
    QCOMPARE(events.last().name, "done");
    // The server waits before every event after the opening comment; only a lower bound
    // is safe to check on a busy machine.
    QVERIFY2(elapsed >= (events.size() - 1) * delayMs, qPrintable(QString::number(elapsed)));
}

QTEST_GUILESS_MAIN(AnswerdApiTest)
#include "tst_answerdapi.moc"
