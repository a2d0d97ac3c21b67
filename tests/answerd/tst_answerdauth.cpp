#include "AnswerdProcess.h"
#include "ProgramRun.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QJsonArray>
#include <QNetworkReply>
#include <QTest>
#include <QUrlQuery>

using namespace notchora::test;

namespace {

const QString tokenPath = QStringLiteral("/api/oauth/token");
const QString streamPath = QStringLiteral("/api/v1/answer/stream");
const QString answerPath = QStringLiteral("/api/v1/answer");
const QString redirectUri = QStringLiteral("soalika-answer://callback");
// RFC 7636, appendix B: this verifier and its S256 challenge.
const QString rfcVerifier = QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk");
const QString rfcChallenge = QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");

QString detailError(const HttpReply& reply) {
    return reply.json().value("detail").toObject().value("error").toString();
}

QJsonObject refreshBody(const QString& token) {
    return {{"grant_type", "refresh_token"},
            {"refresh_token", token},
            {"client_id", "notchora-desktop"}};
}

} // namespace

class AnswerdAuthTest : public QObject {
    Q_OBJECT
private slots:
    void authorize_data();
    void authorize();
    void codeExchange_data();
    void codeExchange();
    void codeIsSingleUse();
    void refreshRotates();
    void expiredAccessTokenIsRefused();
    void largeTokenBodyIsRefused();
    void expiredEntriesArePurged_data();
    void expiredEntriesArePurged();
    void signInSurvivesRestart_data();
    void signInSurvivesRestart();
    void badCommandLineIsRefused_data();
    void badCommandLineIsRefused();

private:
    TestEnvironment m_env;
    AnswerdPool m_services;
};

void AnswerdAuthTest::authorize_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("clientId");
    QTest::addColumn<QString>("redirect");
    QTest::addColumn<QString>("method");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error"); // empty: a code is expected

    const QString client = QStringLiteral("notchora-desktop");
    QTest::newRow("approved") << QStringList() << client << redirectUri << "S256" << 302 << "";
    QTest::newRow("denied") << QStringList{"--deny"} << client << redirectUri << "S256" << 302
                            << "access_denied";
    QTest::newRow("plain PKCE") << QStringList() << client << redirectUri << "plain" << 302
                                << "invalid_request";
    QTest::newRow("no PKCE method")
        << QStringList() << client << redirectUri << "" << 302 << "invalid_request";
    QTest::newRow("unknown client")
        << QStringList() << "someone-else" << redirectUri << "S256" << 400 << "";
    QTest::newRow("foreign redirect") << QStringList() << client << "https://evil.example/cb"
                                      << "S256" << 400 << "";
}

void AnswerdAuthTest::authorize() {
    QFETCH(QStringList, args);
    QFETCH(QString, clientId);
    QFETCH(QString, redirect);
    QFETCH(QString, method);
    QFETCH(int, status);
    QFETCH(QString, error);

    AnswerdProcess* service = m_services.get(args);
    QVERIFY(service);
    const AnswerdProcess& server = *service;
    AnswerdClient client(server);
    // Characters that must survive the round trip through the redirect unchanged.
    const QString state = QStringLiteral("st+a/t=e&x y%");
    QUrl url = server.url("/oauth/authorize");
    QUrlQuery query;
    for (const auto& [name, value] : {std::pair<QString, QString>{"client_id", clientId},
                                      {"redirect_uri", redirect},
                                      {"state", state},
                                      {"code_challenge", rfcChallenge},
                                      {"code_challenge_method", method}})
        query.addQueryItem(name, QString::fromLatin1(QUrl::toPercentEncoding(value)));
    url.setQuery(query);

    const HttpReply reply = client.get(url);
    QCOMPARE(reply.status, status);
    if (status != 302) {
        QVERIFY(reply.location.isEmpty());
        return;
    }
    const QUrl location(QString::fromUtf8(reply.location));
    QCOMPARE(location.scheme(), "soalika-answer");
    QCOMPARE(location.host(), "callback");
    const QUrlQuery callback(location);
    QCOMPARE(callback.queryItemValue("state", QUrl::FullyDecoded), state);
    QCOMPARE(callback.queryItemValue("error"), error);
    QCOMPARE(callback.hasQueryItem("code"), error.isEmpty());
    if (error.isEmpty())
        QCOMPARE(callback.queryItemValue("code").size(), 43);
}

void AnswerdAuthTest::codeExchange_data() {
    QTest::addColumn<QString>("verifier");
    QTest::addColumn<QString>("clientId");
    QTest::addColumn<QString>("redirect");
    QTest::addColumn<QString>("grantType");
    QTest::addColumn<bool>("asForm");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");

    const QString client = QStringLiteral("notchora-desktop");
    const QString grant = QStringLiteral("authorization_code");
    QTest::newRow("right verifier")
        << rfcVerifier << client << redirectUri << grant << false << 200 << "";
    QString offByOne = rfcVerifier;
    offByOne[10] = u'x';
    QTest::newRow("verifier off by one")
        << offByOne << client << redirectUri << grant << false << 400 << "invalid_grant";
    QTest::newRow("challenge as verifier")
        << rfcChallenge << client << redirectUri << grant << false << 400 << "invalid_grant";
    QTest::newRow("wrong client id")
        << rfcVerifier << "notchora" << redirectUri << grant << false << 400 << "invalid_client";
    QTest::newRow("wrong redirect") << rfcVerifier << client << "soalika-answer://other" << grant
                                    << false << 400 << "invalid_grant";
    QTest::newRow("unknown grant") << rfcVerifier << client << redirectUri << "password" << false
                                   << 400 << "unsupported_grant_type";
    QTest::newRow("form body") << rfcVerifier << client << redirectUri << grant << true << 400
                               << "invalid_request";
}

void AnswerdAuthTest::codeExchange() {
    QFETCH(QString, verifier);
    QFETCH(QString, clientId);
    QFETCH(QString, redirect);
    QFETCH(QString, grantType);
    QFETCH(bool, asForm);
    QFETCH(int, status);
    QFETCH(QString, error);

    AnswerdProcess* server = m_services.get({"--token-lifetime", "1234"});
    QVERIFY(server);
    AnswerdClient client(*server);
    const QString code = QUrlQuery(client.authorize(rfcVerifier, "s")).queryItemValue("code");
    QVERIFY(!code.isEmpty());

    const QJsonObject body{{"grant_type", grantType},
                           {"client_id", clientId},
                           {"code", code},
                           {"code_verifier", verifier},
                           {"redirect_uri", redirect}};
    HttpReply reply;
    if (asForm) {
        QUrlQuery form;
        for (auto it = body.begin(); it != body.end(); ++it)
            form.addQueryItem(it.key(), it.value().toString());
        reply = client.postRaw(tokenPath, form.toString(QUrl::FullyEncoded).toUtf8(),
                               "application/x-www-form-urlencoded");
    } else {
        reply = client.postJson(tokenPath, body);
    }
    QCOMPARE(reply.status, status);
    if (status == 200) {
        const QJsonObject tokens = reply.json();
        QVERIFY(!tokens.value("access_token").toString().isEmpty());
        QVERIFY(!tokens.value("refresh_token").toString().isEmpty());
        QCOMPARE(tokens.value("expires_in").toInt(), 1234);
    } else {
        QCOMPARE(detailError(reply), error);
        // The readable text the client shows sits where it looks for it.
        QVERIFY(!reply.json()
                     .value("detail")
                     .toObject()
                     .value("error_description")
                     .toString()
                     .isEmpty());
    }
}

void AnswerdAuthTest::codeIsSingleUse() {
    AnswerdProcess* server = m_services.get();
    QVERIFY(server);
    AnswerdClient client(*server);
    const QString code = QUrlQuery(client.authorize(rfcVerifier, "s")).queryItemValue("code");
    const QJsonObject body{{"grant_type", "authorization_code"},
                           {"client_id", "notchora-desktop"},
                           {"code", code},
                           {"code_verifier", rfcVerifier},
                           {"redirect_uri", redirectUri}};
    QCOMPARE(client.postJson(tokenPath, body).status, 200);
    const HttpReply again = client.postJson(tokenPath, body);
    QCOMPARE(again.status, 400);
    QCOMPARE(detailError(again), "invalid_grant");
}

void AnswerdAuthTest::refreshRotates() {
    AnswerdProcess server;
    QVERIFY(server.start());
    AnswerdClient client(server);
    const QJsonObject first = client.signIn();
    const QString oldRefresh = first.value("refresh_token").toString();
    QVERIFY(!oldRefresh.isEmpty());

    const HttpReply rotated = client.postJson(tokenPath, refreshBody(oldRefresh));
    QCOMPARE(rotated.status, 200);
    const QString newRefresh = rotated.json().value("refresh_token").toString();
    const QString newAccess = rotated.json().value("access_token").toString();
    QVERIFY(!newRefresh.isEmpty());
    QVERIFY(newRefresh != oldRefresh);
    QVERIFY(newAccess != first.value("access_token").toString());
    QCOMPARE(client.postJson(answerPath, AnswerdClient::answerBody("x"), newAccess).status, 200);

    // The used refresh token is dead; the new one lives once.
    const HttpReply stale = client.postJson(tokenPath, refreshBody(oldRefresh));
    QCOMPARE(stale.status, 400);
    QCOMPARE(detailError(stale), "invalid_grant");
    QCOMPARE(client.postJson(tokenPath, refreshBody("made-up")).status, 400);
    QJsonObject otherClient = refreshBody(newRefresh);
    otherClient["client_id"] = "someone-else";
    QCOMPARE(client.postJson(tokenPath, otherClient).status, 400);
    QCOMPARE(client.postJson(tokenPath, refreshBody(newRefresh)).status, 200);
    QCOMPARE(client.postJson(tokenPath, refreshBody(newRefresh)).status, 400);

    const QJsonObject stats = client.get(server.url("/dev/stats")).json();
    QCOMPARE(stats.value("token_refresh").toInt(), 6);
    QCOMPARE(stats.value("token_code").toInt(), 1);
    QCOMPARE(stats.value("authorize").toInt(), 1);
}

void AnswerdAuthTest::expiredAccessTokenIsRefused() {
    AnswerdProcess* server = m_services.get({"--token-lifetime", "0"});
    QVERIFY(server);
    AnswerdClient client(*server);
    const QJsonObject tokens = client.signIn();
    QCOMPARE(tokens.value("expires_in").toInt(), 0);
    const HttpReply reply = client.postJson(streamPath, AnswerdClient::answerBody("x"),
                                            tokens.value("access_token").toString());
    QCOMPARE(reply.status, 401);
    // The refresh token still works: that is how the client gets going again.
    QCOMPARE(
        client.postJson(tokenPath, refreshBody(tokens.value("refresh_token").toString())).status,
        200);
}

// The token endpoint refuses a large body by its length alone; a normal one still works after.
void AnswerdAuthTest::largeTokenBodyIsRefused() {
    AnswerdProcess* server = m_services.get();
    QVERIFY(server);
    AnswerdClient client(*server);
    const QByteArray padding(1024 * 1024, ' ');
    const HttpReply large =
        client.postRaw(tokenPath, "{\"grant_type\":\"x\"" + padding + "}", "application/json");
    QCOMPARE(large.status, 413);
    QVERIFY(!client.signIn().value("access_token").toString().isEmpty());
}

void AnswerdAuthTest::expiredEntriesArePurged_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("codes"); // what is left of five unused codes and one sign-in
    QTest::addColumn<int>("accessTokens");

    QTest::newRow("long lifetimes keep them")
        << QStringList{"--code-lifetime", "600", "--token-lifetime", "600"} << 5 << 1;
    QTest::newRow("short lifetimes drop them")
        << QStringList{"--code-lifetime", "1", "--token-lifetime", "1"} << 0 << 0;
}

void AnswerdAuthTest::expiredEntriesArePurged() {
    QFETCH(QStringList, args);
    QFETCH(int, codes);
    QFETCH(int, accessTokens);
    AnswerdProcess server;
    QVERIFY(server.start(args));
    AnswerdClient client(server);
    QVERIFY(!client.signIn().value("access_token").toString().isEmpty());
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

void AnswerdAuthTest::signInSurvivesRestart_data() {
    QTest::addColumn<bool>("withState");
    QTest::addColumn<int>("status"); // of the refresh after the restart
    QTest::newRow("in memory: lost") << false << 400;
    QTest::newRow("with --state: kept") << true << 200;
}

void AnswerdAuthTest::signInSurvivesRestart() {
    QFETCH(bool, withState);
    QFETCH(int, status);
    const QString state = m_env.root() + "/answerd-state.db";
    QFile::remove(state);
    const QStringList args = withState ? QStringList{"--state", state} : QStringList();

    AnswerdProcess first;
    QVERIFY(first.start(args));
    const QString refresh = AnswerdClient(first).signIn().value("refresh_token").toString();
    QVERIFY(!refresh.isEmpty());
    first.stop();

    AnswerdProcess second;
    QVERIFY(second.start(args));
    AnswerdClient client(second);
    const HttpReply renewed = client.postJson(tokenPath, refreshBody(refresh));
    QCOMPARE(renewed.status, status);
    if (!withState)
        return;
    // Rotation holds across restarts too, and only hashes are on disk.
    QCOMPARE(client.postJson(tokenPath, refreshBody(refresh)).status, 400);
    const QString next = renewed.json().value("refresh_token").toString();
    QFile file(state);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(!bytes.contains(refresh.toLatin1()));
    QVERIFY(!bytes.contains(next.toLatin1()));
    QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    QCOMPARE(client.postJson(tokenPath, refreshBody(next)).status, 200);
}

void AnswerdAuthTest::badCommandLineIsRefused_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("any address") << QStringList{"--host", "0.0.0.0"} << "loopback";
    QTest::newRow("LAN address") << QStringList{"--host", "192.168.1.10"} << "loopback";
    QTest::newRow("IPv6 any") << QStringList{"--host", "::"} << "loopback";
    QTest::newRow("host name") << QStringList{"--host", "example.com"} << "loopback";
    QTest::newRow("127 lookalike") << QStringList{"--host", "127.0.0.1.example.com"} << "loopback";
    QTest::newRow("unknown failure") << QStringList{"--fail", "teapot"} << "teapot";
    QTest::newRow("scope on a stream mode") << QStringList{"--fail", "token:slow"} << "scope";
    QTest::newRow("bad lifetime") << QStringList{"--token-lifetime", "-5"} << "whole number";
    QTest::newRow("bad code lifetime") << QStringList{"--code-lifetime", "x"} << "whole number";
    QTest::newRow("model endpoint without a model")
        << QStringList{"--model-endpoint", "http://127.0.0.1:9/v1"} << "--model NAME";
    QTest::newRow("model without an endpoint") << QStringList{"--model", "m"} << "--model-endpoint";
    QTest::newRow("endpoint that is not HTTP")
        << QStringList{"--model-endpoint", "ftp://127.0.0.1/v1", "--model", "m"} << "http";
    QTest::newRow("key variable not set")
        << QStringList{"--model-endpoint", "http://127.0.0.1:9/v1",    "--model", "m",
                       "--api-key-env",    "NOTCHORA_TEST_NO_SUCH_KEY"}
        << "NOTCHORA_TEST_NO_SUCH_KEY is not set";
    QTest::newRow("state file in a missing folder")
        << QStringList{"--state", "/nonexistent-notchora/state.db"} << "cannot open state file";
}

void AnswerdAuthTest::badCommandLineIsRefused() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const ProgramRun run =
        runProgram(TestEnvironment::binary("notchora-answerd"), args + QStringList{"--port", "0"});
    QVERIFY(run.finished);
    QVERIFY(run.exitCode != 0);
    QVERIFY(!run.out.contains("listening"));
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(AnswerdAuthTest)
#include "tst_answerdauth.moc"
