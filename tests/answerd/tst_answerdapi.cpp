#include "AnswerdProcess.h"
#include "ProgramRun.h"
#include "TableRows.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QNetworkReply>
#include <QTest>
#include <QUrlQuery>

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

const QString redirectUri = QStringLiteral("soalika-answer://callback");
const QString clientID = QStringLiteral("notchora-desktop");
// RFC 7636, appendix B: this verifier and its S256 challenge.
const QString rfcVerifier = QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk");
const QString rfcChallenge = QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");

QString detailError(const HttpReply& reply) {
    return reply.json().value("detail").toObject().value("error").toString();
}

struct AuthorizeRow {
    const char* name;
    QStringList args;
    QString clientID;
    QString redirect;
    QString method;
    int status;
    QString error; // empty: a code is expected
};
struct ExchangeRow {
    const char* name;
    QString verifier;
    QString clientID;
    QString redirect;
    QString grantType;
    QString error; // empty: tokens are expected
};
struct CommandLineRow {
    const char* name;
    QStringList args;
    QString message;
};

} // namespace

Q_DECLARE_METATYPE(LimitRow)
Q_DECLARE_METATYPE(FailureRow)
Q_DECLARE_METATYPE(StreamRow)
Q_DECLARE_METATYPE(AuthorizeRow)
Q_DECLARE_METATYPE(ExchangeRow)
Q_DECLARE_METATYPE(CommandLineRow)

// The development service's HTTP side: sign-in, tokens, answers and its command line.
class AnswerdApiTest : public QObject {
    Q_OBJECT
    TestEnvironment m_env;
    AnswerdPool m_services;

private slots:
    void authorize_data() {
        const QString& uri = redirectUri;
        addRows<AuthorizeRow>(
            {{"approved", {}, clientID, uri, "S256", 302, ""},
             {"denied", {"--deny"}, clientID, uri, "S256", 302, "access_denied"},
             {"plain PKCE", {}, clientID, uri, "plain", 302, "invalid_request"},
             {"no PKCE method", {}, clientID, uri, "", 302, "invalid_request"},
             {"unknown client", {}, "someone-else", uri, "S256", 400, ""},
             {"foreign redirect", {}, clientID, "https://evil.example/cb", "S256", 400, ""}});
    }
    void authorize() {
        QFETCH(AuthorizeRow, row);
        AnswerdProcess* server = m_services.get(row.args);
        QVERIFY(server);
        // Characters that must survive the round trip through the redirect unchanged.
        const QString state = QStringLiteral("st+a/t=e&x y%");
        QUrl url = server->url("/oauth/authorize");
        QUrlQuery query;
        for (const auto& [name, value] : {std::pair<QString, QString>{"client_id", row.clientID},
                                          {"redirect_uri", row.redirect},
                                          {"state", state},
                                          {"code_challenge", rfcChallenge},
                                          {"code_challenge_method", row.method}})
            query.addQueryItem(name, QString::fromLatin1(QUrl::toPercentEncoding(value)));
        url.setQuery(query);
        const HttpReply reply = AnswerdClient(*server).get(url);
        QCOMPARE(reply.status, row.status);
        const QUrl location(QString::fromUtf8(reply.location));
        if (row.status != 302) {
            QVERIFY(location.isEmpty());
            return;
        }
        QCOMPARE(location.toString(QUrl::RemoveQuery), redirectUri);
        const QUrlQuery callback(location);
        QCOMPARE(callback.queryItemValue("state", QUrl::FullyDecoded), state);
        QCOMPARE(callback.queryItemValue("error"), row.error);
        QCOMPARE(callback.queryItemValue("code").size(), row.error.isEmpty() ? 43 : 0);
    }

    void codeExchange_data() {
        const QString grant = QStringLiteral("authorization_code");
        QString offByOne = rfcVerifier;
        offByOne[10] = u'x';
        const QString& uri = redirectUri;
        addRows<ExchangeRow>(
            {{"right verifier", rfcVerifier, clientID, uri, grant, ""},
             {"verifier off by one", offByOne, clientID, uri, grant, "invalid_grant"},
             {"challenge as verifier", rfcChallenge, clientID, uri, grant, "invalid_grant"},
             {"wrong client id", rfcVerifier, "notchora", uri, grant, "invalid_client"},
             {"wrong redirect", rfcVerifier, clientID, "soalika-answer://other", grant,
              "invalid_grant"},
             {"unknown grant", rfcVerifier, clientID, uri, "password", "unsupported_grant_type"}});
    }
    void codeExchange() {
        QFETCH(ExchangeRow, row);
        AnswerdProcess* server = m_services.get({"--token-lifetime", "1234"});
        QVERIFY(server);
        AnswerdClient client(*server);
        const QString code = QUrlQuery(client.authorize(rfcVerifier, "s")).queryItemValue("code");
        const QJsonObject body{{"grant_type", row.grantType},
                               {"client_id", row.clientID},
                               {"code", code},
                               {"code_verifier", row.verifier},
                               {"redirect_uri", row.redirect}};
        const HttpReply reply = client.postJson(tokenPath, body);
        if (!row.error.isEmpty()) {
            QCOMPARE(reply.status, 400);
            QCOMPARE(detailError(reply), row.error);
            return;
        }
        QCOMPARE(reply.json().value("expires_in").toInt(), 1234);
        // A code is good once.
        QCOMPARE(detailError(client.postJson(tokenPath, body)), "invalid_grant");
    }

    void expiredEntriesArePurged_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("codes"); // what is left of five unused codes and one sign-in
        QTest::addColumn<int>("accessTokens");
        QTest::newRow("long lifetimes keep them")
            << QStringList{"--code-lifetime", "600", "--token-lifetime", "600"} << 5 << 1;
        QTest::newRow("short lifetimes drop them")
            << QStringList{"--code-lifetime", "1", "--token-lifetime", "1"} << 0 << 0;
    }
    void expiredEntriesArePurged() {
        QFETCH(QStringList, args);
        QFETCH(int, codes);
        QFETCH(int, accessTokens);
        AnswerdProcess server;
        QVERIFY(server.start(args));
        AnswerdClient client(server);
        client.accessToken();
        for (int i = 0; i < 5; ++i)
            QVERIFY(!client.authorize(rfcVerifier, "s").isEmpty());
        const auto held = [&](const char* key) {
            return client.get(server.url("/dev/stats")).json().value(key).toInt();
        };
        QTRY_COMPARE_WITH_TIMEOUT(held("codes"), codes, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(held("access_tokens"), accessTokens, 10000);
        // A refresh token outlives both; the sign-in can always be renewed.
        QCOMPARE(held("refresh_tokens"), 1);
    }

    void refreshRotates_data() {
        QTest::addColumn<bool>("restart");
        QTest::newRow("in memory") << false;
        QTest::newRow("with --state, across a restart") << true;
    }
    // A refresh token is good once, for its own client; with --state a sign-in outlives a
    // restart, and only hashes are on disk.
    void refreshRotates() {
        QFETCH(bool, restart);
        const QString state = m_env.root() + "/answerd-state.db";
        const QStringList args = restart ? QStringList{"--state", state} : QStringList();
        AnswerdProcess first;
        AnswerdProcess second;
        QVERIFY(first.start(args));
        const QJsonObject signIn = AnswerdClient(first).signIn();
        const QString refresh = signIn.value("refresh_token").toString();
        if (restart) {
            first.stop();
            QVERIFY(second.start(args));
        }
        AnswerdClient client(restart ? second : first);
        const auto renew = [&](const QString& token, const QString& id = clientID) {
            QJsonObject body = AnswerdClient::refreshBody(token);
            body["client_id"] = id;
            return client.postJson(tokenPath, body);
        };
        QCOMPARE(renew("made-up").status, 400);
        QCOMPARE(renew(refresh, "someone-else").status, 400);
        const HttpReply renewed = renew(refresh);
        QCOMPARE(renewed.status, 200);
        QCOMPARE(detailError(renew(refresh)), "invalid_grant");
        const QString access = renewed.json().value("access_token").toString();
        QVERIFY(access != signIn.value("access_token").toString());
        QCOMPARE(client.postJson("/api/v1/answer", AnswerdClient::answerBody("x"), access).status,
                 200);
        const QString next = renewed.json().value("refresh_token").toString();
        const QByteArray bytes = readFile(state);
        QVERIFY(!bytes.contains(refresh.toLatin1()) && !bytes.contains(next.toLatin1()));
        QCOMPARE(fileMode(state) & 077, restart ? 0 : 077); // nothing written in memory
        QCOMPARE(renew(next).status, 200);
    }

    void badCommandLineIsRefused_data() {
        const QString endpoint = QStringLiteral("http://127.0.0.1:9/v1");
        // clang-format off
        addRows<CommandLineRow>({
            {"any address", {"--host", "0.0.0.0"}, "loopback"},
            {"IPv6 any", {"--host", "::"}, "loopback"},
            {"127 lookalike", {"--host", "127.0.0.1.example.com"}, "loopback"},
            {"unknown failure", {"--fail", "teapot"}, "teapot"},
            {"scope on a stream mode", {"--fail", "token:slow"}, "scope"},
            {"bad lifetime", {"--token-lifetime", "-5"}, "whole number"},
            {"model endpoint without a model", {"--model-endpoint", endpoint}, "--model NAME"},
            {"endpoint that is not HTTP",
             {"--model-endpoint", "ftp://127.0.0.1/v1", "--model", "m"},
             "http"},
            {"key variable not set",
             {"--model-endpoint", endpoint, "--model", "m", "--api-key-env", "NOTCHORA_NO_KEY"},
             "NOTCHORA_NO_KEY is not set"},
            {"state file in a missing folder", {"--state", "/nonexistent-notchora/state.db"},
             "cannot open state file"}});
        // clang-format on
    }
    void badCommandLineIsRefused() {
        QFETCH(CommandLineRow, row);
        const ProgramRun run = runProgram(TestEnvironment::binary("notchora-answerd"),
                                          row.args + QStringList{"--port", "0"});
        QVERIFY(run.finished);
        QVERIFY(run.exitCode != 0);
        QVERIFY(!run.out.contains("listening"));
        QVERIFY2(run.err.contains(row.message), qPrintable(run.err));
    }
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
        const QJsonObject result =
            client.postJson(answerPath, body, token).json().value("answers")[0].toObject();
        QCOMPARE(result.value("choice").toArray(), QJsonArray{"b"});
        const QString text = result.value("text").toString();
        for (const char* part :
             {"Pilih satu (%1 %2)", "Gambar: 1.", "Riwayat: 0 pesan.", "Dengan ringkasan."})
            QVERIFY2(text.contains(part), qPrintable(text));
        const HttpReply compact =
            client.postJson(compactPath, AnswerdClient::compactionBody(7), token);
        QCOMPARE(compact.json().value("summary").toString(), "Ringkasan 7 pesan.");
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
            {"404 on the stream", {"--fail", "404"}, streamPath, {404, 404, 404}, {}},
            {"404 leaves one-shot alone", {"--fail", "404"}, answerPath, {200, 200, 200}, {}},
            {"429", {"--fail", "429"}, answerPath, all429, "10"},
            {"429 with chosen wait", {"--fail", "429", "--retry-after", "37"}, compactPath, all429,
             "37"},
            {"429 without Retry-After", {"--fail", "429-bare"}, streamPath, all429, {}},
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
