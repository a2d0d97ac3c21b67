#include "AnswerStack.h"
#include "AnswerdProcess.h"
#include "ManualClock.h"
#include "TestHttpServer.h"
#include "platform/Browser.h"
#include "platform/SystemClock.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>
#include <atomic>
#include <httplib.h>
#include <mutex>

using namespace notchora;

Q_DECLARE_METATYPE(AnswerAPIError)

namespace {

using State = AnswerAuth::State;
using Fixture = test::AnswerStack;

// A token endpoint the test controls, counting what it is asked.
struct TokenServer {
    TokenServer() {
        server.server().Post("/api/oauth/token", [this](const httplib::Request& request,
                                                        httplib::Response& response) {
            std::lock_guard lock(mutex);
            ++requests;
            lastBody = QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
            response.status = status;
            response.set_content(reply.toStdString(), "application/json");
        });
        server.start();
    }
    void answer(int s, const QByteArray& body) {
        std::lock_guard lock(mutex);
        status = s;
        reply = body;
    }
    test::TestHttpServer server;
    std::mutex mutex;
    int status = 200;
    QByteArray reply;
    QJsonObject lastBody;
    std::atomic<int> requests{0};
};

QByteArray tokens(const QString& access, const QString& refresh, int expiresIn) {
    return QJsonDocument(QJsonObject{{"access_token", access},
                                     {"refresh_token", refresh},
                                     {"expires_in", expiresIn}})
        .toJson();
}

} // namespace

class AnswerAuthTest : public QObject {
    Q_OBJECT
private slots:
    void authorizationURL();
    void startUpReadsTheStoreWithoutNetwork_data();
    void startUpReadsTheStoreWithoutNetwork();
    void signInThroughTheBrowser();
    void deniedOrGivenUpLeavesTheSession_data();
    void deniedOrGivenUpLeavesTheSession();
    void forgedCallbackSendsNoTokenRequest_data();
    void forgedCallbackSendsNoTokenRequest();
    void browserThatCannotStart();
    void waitingSignInTimesOut();
    void concurrentCallersShareOneRefresh();
    void shortLivedTokenRefreshesAgain();
    void refreshFailures_data();
    void refreshFailures();
    void signOutForgetsEverything();
};

void AnswerAuthTest::authorizationURL() {
    auto made = SignInRequest::make(QUrl("https://example.test/base"));
    const auto& request = std::get<SignInRequest>(made);
    QCOMPARE(request.verifier.size(), 43);
    QCOMPARE(request.state.size(), 43);
    QVERIFY(request.verifier != request.state);
    QVERIFY(!request.verifier.contains('+') && !request.verifier.contains('/') &&
            !request.verifier.contains('='));
    // RFC 7636 appendix B.
    QCOMPARE(SignInRequest::challenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
             QStringLiteral("E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"));
    const QUrl url = request.authorizationURL;
    QCOMPARE(url.toString(QUrl::RemoveQuery),
             QStringLiteral("https://example.test/base/oauth/authorize"));
    using Items = QList<std::pair<QString, QString>>;
    QCOMPARE(QUrlQuery(url).queryItems(QUrl::FullyDecoded),
             (Items{{"client_id", "notchora-desktop"},
                    {"redirect_uri", "soalika-answer://callback"},
                    {"state", request.state},
                    {"code_challenge", SignInRequest::challenge(request.verifier)},
                    {"code_challenge_method", "S256"}}));
    QVERIFY(std::holds_alternative<AnswerAPIError>(SignInRequest::make(QUrl("not a url"))));
}

void AnswerAuthTest::startUpReadsTheStoreWithoutNetwork_data() {
    QTest::addColumn<bool>("hasToken");
    QTest::newRow("stored refresh token") << true;
    QTest::newRow("nothing stored") << false;
}

void AnswerAuthTest::startUpReadsTheStoreWithoutNetwork() {
    QFETCH(bool, hasToken);
    TokenServer server;
    Fixture f(server.server.url());
    if (hasToken)
        f.storeRefreshToken("kept");
    f.makeAuth(Clock::system(), nullptr);
    QCOMPARE(f.auth->state(), State::Checking);
    QCOMPARE(f.auth->accountText(), QStringLiteral("Memeriksa…"));
    QTRY_VERIFY(f.auth->state() != State::Checking);
    QCOMPARE(f.auth->state(), hasToken ? State::SignedIn : State::SignedOut);
    QCOMPARE(f.auth->accountText(),
             hasToken ? QStringLiteral("Sudah masuk") : QStringLiteral("Belum masuk"));
    QCOMPARE(server.requests.load(), 0);
}

void AnswerAuthTest::signInThroughTheBrowser() {
    test::AnswerdProcess answerd;
    QVERIFY(answerd.start());
    Fixture f(QUrl(answerd.base()));
    const QString callbackFile = f.env.root() + "/callback-url";
    qputenv("NOTCHORA_TEST_CALLBACK_FILE", callbackFile.toUtf8());
    qputenv("BROWSER", NOTCHORA_FAKE_BROWSER);
    f.makeAuth(Clock::system(), &Browser::open);
    QTRY_COMPARE(f.auth->state(), State::SignedOut);

    QSignalSpy finished(f.auth.get(), &AnswerAuth::signInFinished);
    f.auth->signIn();
    QCOMPARE(f.auth->state(), State::SigningIn);
    QCOMPARE(f.auth->accountText(), QStringLiteral("Menunggu persetujuan di browser…"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(callbackFile), 10000);
    const QUrl callback(QString::fromUtf8(test::readFile(callbackFile)));
    QCOMPARE(callback.scheme(), QStringLiteral("soalika-answer"));
    QVERIFY(f.auth->handleCallback(callback));
    QVERIFY(!f.auth->handleCallback(callback)); // nothing waits for a second one
    QVERIFY(finished.wait(10000));
    QCOMPARE(f.auth->state(), State::SignedIn);
    QVERIFY(f.storedRefreshToken().has_value());
    // The fresh access token is used without another trip to the token endpoint.
    const auto token = f.token();
    QVERIFY(std::holds_alternative<QString>(token));
    QVERIFY(!std::get<QString>(token).isEmpty());
    qunsetenv("BROWSER");
    qunsetenv("NOTCHORA_TEST_CALLBACK_FILE");
}

void AnswerAuthTest::deniedOrGivenUpLeavesTheSession_data() {
    QTest::addColumn<bool>("signedInBefore");
    QTest::addColumn<bool>("pressAgain"); // else the service reports an error
    QTest::newRow("denied while signed out") << false << false;
    QTest::newRow("denied while signed in") << true << false;
    QTest::newRow("given up while signed in") << true << true;
    QTest::newRow("given up while signed out") << false << true;
}

void AnswerAuthTest::deniedOrGivenUpLeavesTheSession() {
    QFETCH(bool, signedInBefore);
    QFETCH(bool, pressAgain);
    TokenServer server;
    Fixture f(server.server.url());
    if (signedInBefore)
        f.storeRefreshToken("old");
    f.makeAuth(Clock::system(), [](const QUrl&) { return true; });
    QTRY_VERIFY(f.auth->state() != State::Checking);
    f.auth->signIn();
    QCOMPARE(f.auth->state(), State::SigningIn);
    if (pressAgain) {
        f.auth->signIn();
    } else {
        const auto request = *f.auth->pendingRequest();
        QVERIFY(f.auth->handleCallback(
            QUrl("soalika-answer://callback?error=access_denied&state=" + request.state)));
    }
    QCOMPARE(f.auth->state(), signedInBefore ? State::SignedIn : State::SignedOut);
    QCOMPARE(f.storedRefreshToken(), signedInBefore ? std::optional<QString>("old") : std::nullopt);
    QCOMPARE(server.requests.load(), 0);
}

void AnswerAuthTest::forgedCallbackSendsNoTokenRequest_data() {
    QTest::addColumn<QString>("query"); // %1 is the right state
    QTest::addColumn<bool>("ours");     // carries the attempt's state, so it ends the attempt
    QTest::newRow("state off by one character") << "code=abc&state=%1x" << false;
    QTest::newRow("state missing") << "code=abc" << false;
    QTest::newRow("state empty") << "code=abc&state=" << false;
    QTest::newRow("an error with another state") << "error=access_denied&state=x" << false;
    QTest::newRow("code missing") << "state=%1" << true;
    QTest::newRow("code empty") << "code=&state=%1" << true;
}

// A forged link can neither finish nor cancel a real sign-in; one with the right state but no
// code fails it; none of them sends a token request.
void AnswerAuthTest::forgedCallbackSendsNoTokenRequest() {
    QFETCH(QString, query);
    QFETCH(bool, ours);
    TokenServer server;
    Fixture f(server.server.url());
    f.makeAuth();
    QTRY_VERIFY(f.auth->state() != State::Checking);
    f.auth->signIn();
    QString state = f.auth->pendingRequest()->state;
    if (query.contains("%1x"))
        state.chop(1); // "off by one character": drop the last and add another
    if (!ours)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("ignoring a sign-in callback"));
    const QString url =
        "soalika-answer://callback?" + (query.contains("%1") ? query.arg(state) : query);
    QCOMPARE(f.auth->handleCallback(QUrl(url)), ours);
    if (ours) {
        QCOMPARE(f.auth->state(), State::Failed);
        QCOMPARE(f.auth->accountText(),
                 QStringLiteral("Gagal masuk: Respons login tidak valid (state tidak cocok)."));
        QVERIFY(!f.auth->pendingRequest());
    } else {
        QCOMPARE(f.auth->state(), State::SigningIn);
        QVERIFY(f.auth->pendingRequest());
    }
    // A real request made now round-trips; a token request sent for the forged callback
    // would have reached the server before it.
    server.answer(200, tokens("A", "R", 3600));
    f.storeRefreshToken("R0");
    QVERIFY(std::holds_alternative<QString>(f.token()));
    QCOMPARE(server.requests.load(), 1);
    QCOMPARE(server.lastBody.value("grant_type").toString(), QStringLiteral("refresh_token"));
}

void AnswerAuthTest::browserThatCannotStart() {
    TokenServer server;
    Fixture f(server.server.url());
    f.makeAuth(Clock::system(), [](const QUrl&) { return false; });
    f.auth->signIn();
    QCOMPARE(f.auth->state(), State::Failed);
    QCOMPARE(f.auth->failureMessage(), QStringLiteral("Gagal membuka jendela login."));
    QVERIFY(!f.auth->pendingRequest());
}

void AnswerAuthTest::waitingSignInTimesOut() {
    TokenServer server;
    ManualClock clock;
    Fixture f(server.server.url());
    f.makeAuth(clock);
    QTRY_VERIFY(f.auth->state() != State::Checking);
    f.auth->signIn();
    clock.advance(AnswerAuth::signInTimeout - 1);
    QCOMPARE(f.auth->state(), State::SigningIn);
    clock.advance(1);
    QCOMPARE(f.auth->state(), State::SignedOut);
    QVERIFY(!f.auth->pendingRequest());
}

void AnswerAuthTest::concurrentCallersShareOneRefresh() {
    TokenServer server;
    server.answer(200, tokens("A1", "R2", 3600));
    Fixture f(server.server.url());
    f.storeRefreshToken("R1");
    f.makeAuth();
    QList<AnswerAuth::TokenResult> results;
    for (int i = 0; i < 2; ++i)
        f.auth->validAccessToken(&f.context,
                                 [&](const AnswerAuth::TokenResult& r) { results << r; });
    QTRY_COMPARE(results.size(), 2);
    QCOMPARE(server.requests.load(), 1);
    QCOMPARE(std::get<QString>(results[0]), QStringLiteral("A1"));
    QCOMPARE(std::get<QString>(results[1]), QStringLiteral("A1"));
    QCOMPARE(server.lastBody.value("grant_type").toString(), QStringLiteral("refresh_token"));
    QCOMPARE(server.lastBody.value("refresh_token").toString(), QStringLiteral("R1"));
    QCOMPARE(server.lastBody.value("client_id").toString(), QStringLiteral("notchora-desktop"));
    // The rotated refresh token replaced the old one.
    QCOMPARE(f.storedRefreshToken(), std::optional<QString>("R2"));
    QCOMPARE(f.auth->state(), State::SignedIn);
}

void AnswerAuthTest::shortLivedTokenRefreshesAgain() {
    TokenServer server;
    server.answer(200, tokens("A1", "R2", 20)); // shorter than the 30 s margin
    Fixture f(server.server.url());
    f.storeRefreshToken("R1");
    QCOMPARE(std::get<QString>(f.token()), QStringLiteral("A1"));
    QCOMPARE(std::get<QString>(f.token()), QStringLiteral("A1"));
    QCOMPARE(server.requests.load(), 2);
    server.answer(200, tokens("A3", "R3", 3600));
    QCOMPARE(std::get<QString>(f.token()), QStringLiteral("A3"));
    QCOMPARE(std::get<QString>(f.token()), QStringLiteral("A3"));
    QCOMPARE(server.requests.load(), 3);
    // Invalidating forces the next caller to refresh.
    f.auth->invalidateAccessToken();
    f.token();
    QCOMPARE(server.requests.load(), 4);
}

void AnswerAuthTest::refreshFailures_data() {
    QTest::addColumn<QString>("stored"); // null: no refresh token
    QTest::addColumn<int>("status");
    QTest::addColumn<AnswerAPIError>("error");
    QTest::addColumn<bool>("keepsSession");
    QTest::newRow("refused: signed out") << "R1" << 400 << AnswerAPIError::notSignedIn() << false;
    QTest::newRow("unavailable: the token stays")
        << "R1" << 503 << AnswerHTTP::mapError(503, "{}", std::nullopt) << true;
    QTest::newRow("nothing stored") << QString() << 200 << AnswerAPIError::notSignedIn() << false;
}

void AnswerAuthTest::refreshFailures() {
    QFETCH(QString, stored);
    QFETCH(int, status);
    QFETCH(AnswerAPIError, error);
    QFETCH(bool, keepsSession);
    TokenServer server;
    server.answer(status, status == 200 ? tokens("A", "R", 3600) : "{}");
    Fixture f(server.server.url());
    if (!stored.isNull()) {
        f.storeRefreshToken(stored);
        f.makeAuth(Clock::system(), nullptr);
        QTRY_COMPARE(f.auth->state(), State::SignedIn);
    }
    const auto result = f.token();
    QCOMPARE(std::get<AnswerAPIError>(result), error);
    QCOMPARE(f.auth->state(), keepsSession ? State::SignedIn : State::SignedOut);
    QCOMPARE(f.storedRefreshToken(), keepsSession ? std::optional(stored) : std::nullopt);
    QCOMPARE(server.requests.load(), stored.isNull() ? 0 : 1);
}

void AnswerAuthTest::signOutForgetsEverything() {
    TokenServer server;
    server.answer(200, tokens("A1", "R2", 3600));
    Fixture f(server.server.url());
    f.storeRefreshToken("R1");
    f.token();
    f.auth->signOut();
    QCOMPARE(f.auth->state(), State::SignedOut);
    QCOMPARE(f.storedRefreshToken(), std::nullopt);
    QVERIFY(std::get<AnswerAPIError>(f.token()).needsSignIn);
    QCOMPARE(server.requests.load(), 1);
}

QTEST_MAIN(AnswerAuthTest)
#include "tst_answerauth.moc"
