#include "AnswerdProcess.h"
#include "TableRows.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QNetworkReply>
#include <QTest>

using namespace notchora::test;

namespace {

const QString tokenPath = QStringLiteral("/api/oauth/token");
const QString streamPath = QStringLiteral("/api/v1/answer/stream");
const QString answerPath = QStringLiteral("/api/v1/answer");
const QString compactPath = QStringLiteral("/api/v1/answer/compact");

struct LimitRow {
    const char* name;
    int historyCount;
    QString content; // of the one history message, when set
    QString question;
    int status;
};
struct FailureRow {
    const char* name;
    QStringList args;
    QString path;
    QList<int> statuses;   // of three calls in a row
    QByteArray retryAfter; // null: no header
};
struct StreamRow {
    const char* name;
    QString mode;
    QString lastEvent; // empty: the stream ends with a token
    QString detail;
    bool cut; // the connection breaks instead of ending
};

} // namespace

Q_DECLARE_METATYPE(LimitRow)
Q_DECLARE_METATYPE(FailureRow)
Q_DECLARE_METATYPE(StreamRow)

class AnswerdApiTest : public QObject {
    Q_OBJECT
    TestEnvironment m_env;
    AnswerdPool m_services;

private slots:
    void bearerIsChecked_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("how");
        const char* hows[] = {"without token", "made-up token", "refresh token as bearer",
                              "right token"};
        for (const QString& path : {streamPath, answerPath, compactPath})
            for (int how = 0; how < 4; ++how)
                QTest::addRow("%s %s", qPrintable(path), hows[how]) << path << how;
    }
    void bearerIsChecked() {
        QFETCH(QString, path);
        QFETCH(int, how);
        AnswerdProcess* server = m_services.get();
        QVERIFY(server);
        AnswerdClient client(*server);
        const QJsonObject tokens = client.signIn();
        const QString bearer =
            how == 0   ? QString()
            : how == 1 ? QStringLiteral("abc")
                       : tokens.value(how == 2 ? "refresh_token" : "access_token").toString();
        const HttpReply reply = client.postJson(path, AnswerdClient::answerBody("x", 2), bearer);
        QCOMPARE(reply.status, how == 3 ? 200 : 401);
    }

    void oneShotAndCompaction() {
        AnswerdProcess* server = m_services.get();
        QVERIFY(server);
        AnswerdClient client(*server);
        const QString token = client.accessToken();
        // Placeholders in a question are text like any other. (The streamed answer is the
        // same text in tokens; the load test checks them.)
        QJsonObject body = AnswerdClient::answerBody("Pilih satu (%1 %2)", 0);
        body["summary"] = "ringkasan lama";
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
        const QString text = result.value("text").toString();
        for (const char* part :
             {"Pilih satu (%1 %2)", "Gambar: 1.", "Riwayat: 0 pesan.", "Dengan ringkasan."})
            QVERIFY2(text.contains(part), qPrintable(text));
        QJsonObject compaction = AnswerdClient::compactionBody(7);
        const HttpReply compact = client.postJson(compactPath, compaction, token);
        QCOMPARE(compact.status, 200);
        const QString summary = compact.json().value("summary").toString();
        QCOMPARE(summary, "Ringkasan 7 pesan.");
        compaction["summary"] = summary;
        QCOMPARE(client.postJson(compactPath, compaction, token).json().value("summary"),
                 "Ringkasan 7 pesan. Sebelumnya: Ringkasan 7 pesan.");
    }

    void bodyLimits_data() {
        // One user-perceived character made of four UTF-16 units.
        const QString thumb = QStringLiteral("\U0001F44D\U0001F3FD");
        addRows<LimitRow>({{"40 messages", 40, {}, "x", 200},
                           {"41 messages", 41, {}, "x", 422},
                           {"4000 characters", 1, thumb.repeated(4000), "x", 200},
                           {"4001 characters", 1, thumb.repeated(4001), "x", 422},
                           {"8000-character question", 0, {}, QString(8000, u'q'), 200},
                           {"8001-character question", 0, {}, QString(8001, u'q'), 422}});
    }
    void bodyLimits() {
        QFETCH(LimitRow, row);
        AnswerdProcess* server = m_services.get();
        QVERIFY(server);
        AnswerdClient client(*server);
        QJsonObject body = AnswerdClient::answerBody(row.question, row.historyCount);
        if (!row.content.isEmpty())
            body["history"] = QJsonArray{QJsonObject{{"role", "user"}, {"content", row.content}}};
        const HttpReply reply = client.postJson(answerPath, body, client.accessToken());
        QCOMPARE(reply.status, row.status);
        // One problem, named, for the client to show.
        QCOMPARE(reply.json().value("detail")[0]["msg"].toString().isEmpty(), row.status == 200);
    }

    // Every failure switch of the service, once; the clients' tests rely on them.
    void failureStatuses_data() {
        const QList<int> all429{429, 429, 429};
        // clang-format off
        addRows<FailureRow>({
            {"401 once", {"--fail", "401-once"}, streamPath, {401, 200, 200}, {}},
            {"401 always", {"--fail", "401"}, streamPath, {401, 401, 401}, {}},
            {"404 on the stream", {"--fail", "404"}, streamPath, {404, 404, 404}, {}},
            {"404 leaves one-shot alone", {"--fail", "404"}, answerPath, {200, 200, 200}, {}},
            {"429", {"--fail", "429"}, answerPath, all429, "10"},
            {"429 with chosen wait", {"--fail", "429", "--retry-after", "37"}, compactPath, all429,
             "37"},
            {"429 without Retry-After", {"--fail", "429-bare"}, streamPath, all429, {}},
            {"502", {"--fail", "502"}, streamPath, {502, 502, 502}, {}},
            {"503", {"--fail", "503"}, compactPath, {503, 503, 503}, {}},
            {"503 on the token endpoint", {"--fail", "refresh:503"}, tokenPath, {503, 503, 503},
              {}},
            {"combined: once, then 502", {"--fail", "401-once,502"}, answerPath, {401, 502, 502},
              {}},
            {"500 with an HTML body", {"--fail", "oneshot:500"}, answerPath, {500, 500, 500}, {}}});
        // clang-format on
    }
    void failureStatuses() {
        QFETCH(FailureRow, row);
        AnswerdProcess* server = m_services.get(row.args);
        QVERIFY(server);
        AnswerdClient client(*server);
        // Sign-in works unless the rule names the refresh grant alone.
        const QJsonObject tokens = client.signIn();
        const QString access = tokens.value("access_token").toString();
        QVERIFY(!access.isEmpty());
        const QJsonObject body =
            row.path == tokenPath
                ? AnswerdClient::refreshBody(tokens.value("refresh_token").toString())
                : AnswerdClient::answerBody("x", 1);
        for (int expected : row.statuses) {
            const HttpReply reply = client.postJson(row.path, body, access);
            QCOMPARE(reply.status, expected);
            QCOMPARE(reply.hasRetryAfter, !row.retryAfter.isNull());
            QCOMPARE(reply.retryAfter, row.retryAfter);
            if (expected == 500)
                QVERIFY(reply.contentType.startsWith("text/html"));
            else if (expected != 200)
                QVERIFY(!reply.json().value("detail").toString().isEmpty());
        }
    }

    void streamFailures_data() {
        addRows<StreamRow>(
            {{"error event", "error-event", "error", "Model kehabisan waktu.", false},
             {"bare error event", "error-event-bare", "error", "", false},
             {"ends before done", "end-early", "", "", false},
             {"connection dropped", "drop", "", "", true},
             {"empty answers", "empty", "done", "", false}});
    }
    void streamFailures() {
        QFETCH(StreamRow, row);
        AnswerdProcess* server = m_services.get({"--fail", row.mode});
        QVERIFY(server);
        AnswerdClient client(*server);
        const QString token = client.accessToken();
        const HttpReply reply =
            client.postJson(streamPath, AnswerdClient::answerBody("q w e r"), token);
        QCOMPARE(reply.status, 200);
        QCOMPARE(reply.error != QNetworkReply::NoError, row.cut);
        const QList<SseEvent> events = parseEventStream(reply.body);
        QStringList names;
        for (const SseEvent& event : events)
            names << event.name;
        names.removeDuplicates(); // tokens, then how the stream ended
        QCOMPARE(names.join(' '), QString("token " + row.lastEvent).trimmed());
        QCOMPARE(events.last().data.value("detail").toString(), row.detail);
        if (row.lastEvent != "done")
            return;
        const QJsonValue none = QJsonArray();
        QCOMPARE(events.last().data.value("answers"), none);
        const HttpReply oneShot =
            client.postJson(answerPath, AnswerdClient::answerBody("x"), token);
        QCOMPARE(oneShot.json().value("answers"), none);
    }
};

QTEST_GUILESS_MAIN(AnswerdApiTest)
#include "tst_answerdapi.moc"
