#include "AnswerdProcess.h"
#include "ProgramRun.h"
#include "TableRows.h"
#include "TestEnvironment.h"

#include <QTest>
#include <QUrlQuery>

using namespace notchora::test;

namespace {

const QString tokenPath = QStringLiteral("/api/oauth/token");
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

Q_DECLARE_METATYPE(AuthorizeRow)
Q_DECLARE_METATYPE(ExchangeRow)
Q_DECLARE_METATYPE(CommandLineRow)

class AnswerdAuthTest : public QObject {
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
        QVERIFY(!code.isEmpty());
        const QJsonObject body{{"grant_type", row.grantType},
                               {"client_id", row.clientID},
                               {"code", code},
                               {"code_verifier", row.verifier},
                               {"redirect_uri", row.redirect}};
        const HttpReply reply = client.postJson(tokenPath, body);
        if (!row.error.isEmpty()) {
            QCOMPARE(reply.status, 400);
            QCOMPARE(detailError(reply), row.error);
            // The readable text the client shows sits where it looks for it.
            QVERIFY(!reply.json().value("detail")["error_description"].toString().isEmpty());
            return;
        }
        QCOMPARE(reply.status, 200);
        const QJsonObject tokens = reply.json();
        QVERIFY(!tokens.value("access_token").toString().isEmpty());
        QVERIFY(!tokens.value("refresh_token").toString().isEmpty());
        QCOMPARE(tokens.value("expires_in").toInt(), 1234);
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
        QVERIFY(!client.accessToken().isEmpty());
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

    // A refresh token is good once, for its own client; with --state a sign-in outlives a
    // restart, and only hashes are on disk.
    void refreshRotatesAcrossARestart() {
        const QString state = m_env.root() + "/answerd-state.db";
        const QStringList args{"--state", state};
        AnswerdProcess first;
        QVERIFY(first.start(args));
        const QJsonObject signIn = AnswerdClient(first).signIn();
        const QString refresh = signIn.value("refresh_token").toString();
        QVERIFY(!refresh.isEmpty());
        first.stop();
        AnswerdProcess second;
        QVERIFY(second.start(args));
        AnswerdClient client(second);
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
        QCOMPARE(fileMode(state) & 077, 0);
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
            {"bad code lifetime", {"--code-lifetime", "x"}, "whole number"},
            {"model endpoint without a model", {"--model-endpoint", endpoint}, "--model NAME"},
            {"model without an endpoint", {"--model", "m"}, "--model-endpoint"},
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
};

QTEST_GUILESS_MAIN(AnswerdAuthTest)
#include "tst_answerdauth.moc"
