#include "AnswerStack.h"
#include "ManualClock.h"
#include "TestHttpServer.h"
#include "platform/SystemClock.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>
#include <atomic>
#include <httplib.h>
#include <mutex>

using namespace notchora;

namespace {

using State = AnswerAuth::State;

QByteArray tokens(const QString& access, const QString& refresh, int expiresIn) {
    return QJsonDocument(QJsonObject{{"access_token", access},
                                     {"refresh_token", refresh},
                                     {"expires_in", expiresIn}})
        .toJson();
}

// The client over a token endpoint the test controls, counting what it is asked.
struct Fixture : test::AnswerStack {
    Fixture() {
        server.server().Post("/api/oauth/token", [this](const httplib::Request& request,
                                                        httplib::Response& response) {
            std::lock_guard lock(mutex);
            ++requests;
            lastBody = QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
            response.status = status;
            response.set_content(reply.toStdString(), "application/json");
        });
        server.start();
        setBase(server.url());
    }
    void answer(int s, const QByteArray& body) {
        std::lock_guard lock(mutex);
        status = s;
        reply = body;
    }
    // A sign-in that has read the store, with a browser that opens.
    AnswerAuth& started(Clock& clock = Clock::system()) {
        makeAuth(clock);
        [&] { QTRY_VERIFY(auth->state() != State::Checking); }();
        return *auth;
    }
    std::mutex mutex;
    int status = 200;
    QByteArray reply;
    QJsonObject lastBody;
    std::atomic<int> requests{0};
    test::TestHttpServer server; // goes first, before what its handler uses
};

} // namespace

class AnswerAuthTest : public QObject {
    Q_OBJECT
private slots:
    // What the service checks of the address (client, redirect, challenge) the sign-in
    // command's run against the development service covers; here the two random values.
    void signInRequest() {
        const auto request = std::get<SignInRequest>(SignInRequest::make(QUrl("https://x.test/b")));
        const QRegularExpression urlSafe("^[A-Za-z0-9_-]{43}$");
        QVERIFY(urlSafe.match(request.verifier).hasMatch());
        QVERIFY(urlSafe.match(request.state).hasMatch());
        QVERIFY(request.verifier != request.state);
        QCOMPARE(QUrlQuery(request.authorizationURL).queryItemValue("state"), request.state);
        QVERIFY(std::holds_alternative<AnswerAPIError>(SignInRequest::make(QUrl("not a url"))));
    }
    void deniedOrGivenUpLeavesTheSession_data() {
        QTest::addColumn<bool>("signedInBefore");
        QTest::addColumn<QString>("ending");
        QTest::newRow("denied while signed out") << false << "denied";
        QTest::newRow("denied while signed in") << true << "denied";
        QTest::newRow("given up while signed in") << true << "pressed again";
        QTest::newRow("given up while signed out") << false << "pressed again";
        QTest::newRow("waited too long") << false << "timed out";
    }
    void deniedOrGivenUpLeavesTheSession() {
        QFETCH(bool, signedInBefore);
        QFETCH(QString, ending);
        ManualClock clock;
        Fixture f;
        if (signedInBefore)
            f.storeRefreshToken("old");
        AnswerAuth& auth = f.started(clock);
        auth.signIn();
        const QUrl denial("soalika-answer://callback?error=access_denied&state=" +
                          auth.pendingRequest()->state);
        clock.advance(AnswerAuth::signInTimeout - 1);
        QCOMPARE(auth.state(), State::SigningIn);
        if (ending == "pressed again")
            auth.signIn();
        else if (ending == "timed out")
            clock.advance(1);
        else
            QVERIFY(auth.handleCallback(denial));
        QVERIFY(!auth.handleCallback(denial)); // nothing waits for it any more
        QCOMPARE(auth.state(), signedInBefore ? State::SignedIn : State::SignedOut);
        QCOMPARE(f.storedRefreshToken(),
                 signedInBefore ? std::optional<QString>("old") : std::nullopt);
        QCOMPARE(f.requests.load(), 0);
    }
    void forgedCallbackSendsNoTokenRequest_data() {
        QTest::addColumn<QString>("query"); // %1 is the right state
        QTest::addColumn<bool>("ours");     // carries the attempt's state, so it ends the attempt
        QTest::newRow("state off by one character") << "code=abc&state=%1x" << false;
        QTest::newRow("state missing") << "code=abc" << false;
        QTest::newRow("an error with another state") << "error=access_denied&state=x" << false;
        QTest::newRow("code missing") << "state=%1" << true;
    }
    // A forged link can neither finish nor cancel a real sign-in; one with the right state but
    // no code fails it; none of them sends a token request.
    void forgedCallbackSendsNoTokenRequest() {
        QFETCH(QString, query);
        QFETCH(bool, ours);
        Fixture f;
        AnswerAuth& auth = f.started();
        auth.signIn();
        QString state = auth.pendingRequest()->state;
        if (query.contains("%1x"))
            state.chop(1); // "off by one character": drop the last and add another
        if (!ours)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("ignoring a sign-in callback"));
        const QString url =
            "soalika-answer://callback?" + (query.contains("%1") ? query.arg(state) : query);
        QCOMPARE(auth.handleCallback(QUrl(url)), ours);
        QCOMPARE(auth.state(), ours ? State::Failed : State::SigningIn);
        QCOMPARE(auth.pendingRequest().has_value(), !ours);
        if (ours)
            QCOMPARE(auth.accountText(),
                     QStringLiteral("Gagal masuk: Respons login tidak valid (state tidak cocok)."));
        // A real request made now round-trips; a token request sent for the forged callback
        // would have reached the server before it.
        f.answer(200, tokens("A", "R", 3600));
        f.storeRefreshToken("R0");
        QVERIFY(std::holds_alternative<QString>(f.token()));
        QCOMPARE(f.requests.load(), 1);
        QCOMPARE(f.lastBody.value("grant_type").toString(), QStringLiteral("refresh_token"));
    }
    void browserThatCannotStart() {
        Fixture f;
        f.makeAuth(Clock::system(), [](const QUrl&) { return false; });
        f.auth->signIn();
        QCOMPARE(f.auth->state(), State::Failed);
        QCOMPARE(f.auth->failureMessage(), QStringLiteral("Gagal membuka jendela login."));
        QVERIFY(!f.auth->pendingRequest());
    }
    void concurrentCallersShareOneRefresh() {
        Fixture f;
        f.answer(200, tokens("A1", "R2", 3600));
        f.storeRefreshToken("R1");
        f.makeAuth();
        QList<AnswerAuth::TokenResult> results;
        for (int i = 0; i < 2; ++i)
            f.auth->validAccessToken(&f.context, [&](const auto& r) { results << r; });
        QTRY_COMPARE(results.size(), 2);
        QCOMPARE(f.requests.load(), 1);
        QCOMPARE(results, (QList<AnswerAuth::TokenResult>{QString("A1"), QString("A1")}));
        QCOMPARE(f.lastBody, (QJsonObject{{"grant_type", "refresh_token"},
                                          {"refresh_token", "R1"},
                                          {"client_id", "notchora-desktop"}}));
        QCOMPARE(f.storedRefreshToken(), std::optional<QString>("R2"));
    }
    void shortLivedTokenRefreshesAgain() {
        Fixture f;
        f.answer(200, tokens("A1", "R2", 20)); // shorter than the 30 s margin
        f.storeRefreshToken("R1");
        QCOMPARE(std::get<QString>(f.token()), QStringLiteral("A1"));
        QCOMPARE(std::get<QString>(f.token()), QStringLiteral("A1"));
        QCOMPARE(f.requests.load(), 2);
        f.answer(200, tokens("A3", "R3", 3600));
        QCOMPARE(std::get<QString>(f.token()), QStringLiteral("A3"));
        QCOMPARE(std::get<QString>(f.token()), QStringLiteral("A3"));
        QCOMPARE(f.requests.load(), 3);
        f.auth->invalidateAccessToken();
        f.token();
        QCOMPARE(f.requests.load(), 4);
    }
    void refreshFailures_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("keepsSession");
        QTest::newRow("refused: signed out") << 400 << false;
        QTest::newRow("unavailable: the token stays") << 503 << true;
    }
    void refreshFailures() {
        QFETCH(int, status);
        QFETCH(bool, keepsSession);
        Fixture f;
        f.answer(status, "{}");
        f.storeRefreshToken("R1");
        f.makeAuth(Clock::system(), nullptr);
        QTRY_COMPARE(f.auth->state(), State::SignedIn);
        QCOMPARE(f.requests.load(), 0); // starting only reads the store
        QCOMPARE(std::get<AnswerAPIError>(f.token()),
                 keepsSession ? AnswerHTTP::mapError(503, "{}", std::nullopt)
                              : AnswerAPIError::notSignedIn());
        QCOMPARE(f.auth->state(), keepsSession ? State::SignedIn : State::SignedOut);
        QCOMPARE(f.storedRefreshToken(),
                 keepsSession ? std::optional<QString>("R1") : std::nullopt);
        QCOMPARE(f.requests.load(), 1);
    }
};

QTEST_MAIN(AnswerAuthTest)
#include "tst_answerauth.moc"
