#include "AnswerdProcess.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"
#include "answer/AnswerAPIClient.h"
#include "answer/AnswerAuth.h"
#include "answer/AnswerHTTP.h"
#include "answer/AnswerStream.h"
#include "answer/KeychainStore.h"
#include "platform/Defaults.h"
#include "platform/SystemClock.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>
#include <httplib.h>

using namespace notchora;

Q_DECLARE_METATYPE(std::optional<int>)

namespace {

// A signed-in client talking to a development service started with `arguments`.
struct Session {
    explicit Session(const QStringList& arguments)
        : defaults(env.configHome() + "/notchora/defaults.json"), http(defaults),
          keychain(env.dataHome() + "/Notchora/secrets.json", KeychainStore::Backend::File) {
        if (!answerd.start(arguments))
            return;
        defaults.setString("ai.baseURL", answerd.base());
        // Sign in the way the browser flow would, and keep only the refresh token.
        test::AnswerdClient client(answerd);
        const QString refresh = client.signIn().value("refresh_token").toString();
        bool saved = false;
        keychain.save(refresh, "refresh_token", &context, [&] { saved = true; });
        QTRY_VERIFY(saved);
        auth = std::make_unique<AnswerAuth>(http, keychain, Clock::system(), nullptr);
        api = std::make_unique<AnswerAPIClient>(http, *auth);
        ready = !refresh.isEmpty();
    }

    struct Outcome {
        QStringList tokens;
        std::optional<AnswerResult> result;
        std::optional<AnswerAPIError> error;
        int finishedCount = 0;
    };
    Outcome ask(const QString& text, const ChatContext& context = {}) {
        Outcome outcome;
        AnswerStream* stream =
            api->stream(makeQuestion(text, AIMode::Ask, {}), context, &this->context);
        QObject::connect(stream, &AnswerStream::event, [&](const StreamEvent& e) {
            if (e.kind == StreamEvent::Kind::Token)
                outcome.tokens << e.text;
            else
                outcome.result = e.result;
        });
        QObject::connect(stream, &AnswerStream::failed,
                         [&](const AnswerAPIError& e) { outcome.error = e; });
        QObject::connect(stream, &AnswerStream::finished, [&] { ++outcome.finishedCount; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(outcome.finishedCount > 0, 20000); }();
        QTest::qWait(20); // nothing may follow the end
        delete stream;
        return outcome;
    }
    int calls(const QString& endpoint) {
        test::AnswerdClient client(answerd);
        return client.get(answerd.url("/dev/stats")).json().value(endpoint).toInt();
    }

    test::TestEnvironment env;
    test::AnswerdProcess answerd;
    Defaults defaults;
    AnswerHTTP http;
    KeychainStore keychain;
    QObject context;
    std::unique_ptr<AnswerAuth> auth;
    std::unique_ptr<AnswerAPIClient> api;
    bool ready = false;
};

ChatContext contextOf(int messages, std::optional<QString> summary = std::nullopt) {
    ChatContext context;
    for (int i = 0; i < messages; ++i)
        context.messages << ChatContextMessage{i % 2 ? "assistant" : "user", QString::number(i)};
    context.summary = summary;
    return context;
}

} // namespace

class AnswerStreamTest : public QObject {
    Q_OBJECT
private slots:
    void requestBodies_data();
    void requestBodies();
    void messagesAreCutBetweenCharacters();
    void streamsTokensInOrderThenTheAnswer();
    void failures_data();
    void failures();
    void unauthorizedOnceIsRetriedUnseen();
    void oneShotAnswerAndCompaction();
    void destroyingTheStreamCancelsIt();
    void unreadableFinalAnswerIsADecodingError();
};

void AnswerStreamTest::requestBodies_data() {
    QTest::addColumn<int>("messages");
    QTest::addColumn<QVariant>("summary");
    QTest::addColumn<int>("sentMessages");
    QTest::addColumn<QString>("sentSummary"); // empty: no key
    QTest::newRow("empty context") << 0 << QVariant() << 0 << "";
    QTest::newRow("55 messages keep the last 40") << 55 << QVariant() << 40 << "";
    QTest::newRow("summary of only spaces") << 2 << QVariant(" \n\t ") << 2 << "";
    QTest::newRow("summary trimmed") << 0 << QVariant("\n ringkas \n") << 0 << "ringkas";
}

void AnswerStreamTest::requestBodies() {
    QFETCH(int, messages);
    QFETCH(QVariant, summary);
    QFETCH(int, sentMessages);
    QFETCH(QString, sentSummary);
    const ChatContext context =
        contextOf(messages, summary.isValid() ? std::optional(summary.toString()) : std::nullopt);
    const QJsonObject body =
        AnswerAPIClient::answerBody(makeQuestion("Apa?", AIMode::Ask, {}), context);
    QCOMPARE(body.value("essay_style").toString(), QStringLiteral("singkat"));
    QCOMPARE(body.value("questions").toArray().size(), 1);
    QCOMPARE(body.contains("history"), sentMessages > 0);
    const QJsonArray history = body.value("history").toArray();
    QCOMPARE(history.size(), sentMessages);
    if (sentMessages > 0) // oldest first, ending with the newest
        QCOMPARE(history.last().toObject().value("content").toString(),
                 QString::number(messages - 1));
    QCOMPARE(body.contains("summary"), !sentSummary.isEmpty());
    QCOMPARE(body.value("summary").toString(), sentSummary);
    const QJsonObject compaction = AnswerAPIClient::compactionBody(context);
    QVERIFY(!compaction.contains("questions") && !compaction.contains("essay_style"));
    QCOMPARE(compaction.value("history").toArray(), history);
}

void AnswerStreamTest::messagesAreCutBetweenCharacters() {
    // 3999 letters and then a family emoji made of several code points.
    const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    ChatContext context;
    context.messages << ChatContextMessage{"user", QString(3999, 'a') + family + family};
    context.summary = QString(5999, 'b') + QString::fromUtf8("e\u0301") + "tail";
    const QJsonObject body = AnswerAPIClient::compactionBody(context);
    QCOMPARE(body.value("history").toArray().first().toObject().value("content").toString(),
             QString(3999, 'a') + family);
    QCOMPARE(body.value("summary").toString(), QString(5999, 'b') + QString::fromUtf8("e\u0301"));
}

void AnswerStreamTest::streamsTokensInOrderThenTheAnswer() {
    Session s({});
    QVERIFY(s.ready);
    const auto outcome = s.ask("Apa ini?", contextOf(2));
    QVERIFY2(!outcome.error, qPrintable(outcome.error ? outcome.error->message : QString()));
    QVERIFY(outcome.tokens.size() > 3);
    QVERIFY(outcome.result.has_value());
    QCOMPARE(outcome.tokens.join(QString()), outcome.result->text.value_or(QString()));
    QCOMPARE(*outcome.result->text,
             QStringLiteral("Jawaban uji untuk “Apa ini?”. Riwayat: 2 pesan."));
    QCOMPARE(outcome.finishedCount, 1);
}

void AnswerStreamTest::failures_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<std::optional<int>>("retryAfter");
    QTest::addColumn<bool>("needsSignIn");
    const QString notSignedIn = QString::fromUtf8(AnswerAPIError::notSignedInMessage);
    QTest::newRow("401 twice") << QStringList{"--fail", "stream:401"} << 401 << notSignedIn
                               << std::optional<int>() << true;
    QTest::newRow("429 with Retry-After")
        << QStringList{"--fail", "stream:429", "--retry-after", "10"} << 429
        << "Terlalu banyak permintaan. Coba lagi dalam 10 detik." << std::optional<int>(10)
        << false;
    QTest::newRow("429 without Retry-After")
        << QStringList{"--fail", "stream:429-bare"} << 429
        << "Terlalu banyak permintaan. Coba lagi sebentar lagi." << std::optional<int>() << false;
    QTest::newRow("502") << QStringList{"--fail", "stream:502"} << 502
                         << "Layanan AI sedang tidak tersedia. Coba lagi beberapa saat."
                         << std::optional<int>() << false;
    QTest::newRow("404") << QStringList{"--fail", "stream:404"} << 404
                         << "Not Found" // the server's own detail
                         << std::optional<int>() << false;
    QTest::newRow("error event") << QStringList{"--fail", "error-event"} << 502
                                 << "Layanan AI gagal di tengah jawaban: Model kehabisan waktu."
                                 << std::optional<int>() << false;
    QTest::newRow("error event, bare")
        << QStringList{"--fail", "error-event-bare"} << 502
        << "Layanan AI gagal di tengah jawaban: Model gagal menjawab." << std::optional<int>()
        << false;
    QTest::newRow("cut before done")
        << QStringList{"--fail", "end-early"} << 0
        << "Koneksi terputus sebelum jawaban selesai. Coba lagi." << std::optional<int>() << false;
    QTest::newRow("no answers") << QStringList{"--fail", "empty"} << 200
                                << "Server tidak mengembalikan jawaban." << std::optional<int>()
                                << false;
}

void AnswerStreamTest::failures() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(std::optional<int>, retryAfter);
    QFETCH(bool, needsSignIn);
    Session s(arguments);
    QVERIFY(s.ready);
    const auto outcome = s.ask("Apa ini?");
    QVERIFY(outcome.error.has_value());
    QCOMPARE(outcome.error->status, status);
    QCOMPARE(outcome.error->message, message);
    QCOMPARE(outcome.error->retryAfter, retryAfter);
    QCOMPARE(outcome.error->needsSignIn, needsSignIn);
    QVERIFY(!outcome.result);
    QCOMPARE(outcome.finishedCount, 1);
}

void AnswerStreamTest::unauthorizedOnceIsRetriedUnseen() {
    Session s({"--fail", "stream:401-once"});
    QVERIFY(s.ready);
    const auto outcome = s.ask("Lagi?");
    QVERIFY2(!outcome.error, qPrintable(outcome.error ? outcome.error->message : QString()));
    QVERIFY(outcome.result.has_value());
    QCOMPARE(s.calls("stream"), 2);
}

void AnswerStreamTest::oneShotAnswerAndCompaction() {
    Session s({});
    QVERIFY(s.ready);
    std::optional<std::variant<AnswerResult, AnswerAPIError>> answer;
    s.api->answer(makeQuestion("Satu kali", AIMode::Ask, {}), contextOf(3), &s.context,
                  [&](const auto& r) { answer = r; });
    QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 10000);
    QCOMPARE(std::get<AnswerResult>(*answer).text,
             std::optional<QString>("Jawaban uji untuk “Satu kali”. Riwayat: 3 pesan."));
    std::optional<std::variant<QString, AnswerAPIError>> summary;
    s.api->compact(contextOf(7), &s.context, [&](const auto& r) { summary = r; });
    QTRY_VERIFY_WITH_TIMEOUT(summary.has_value(), 10000);
    QVERIFY(std::get<QString>(*summary).startsWith("Ringkasan 7 pesan."));
}

void AnswerStreamTest::destroyingTheStreamCancelsIt() {
    Session s({"--fail", "slow", "--token-delay", "300"});
    QVERIFY(s.ready);
    int tokens = 0;
    auto* stream = s.api->stream(makeQuestion("Pelan", AIMode::Ask, {}), {}, &s.context);
    QObject::connect(stream, &AnswerStream::event, [&] { ++tokens; });
    QTRY_VERIFY_WITH_TIMEOUT(tokens >= 1, 10000);
    delete stream;
    const int seen = tokens;
    QTest::qWait(700);
    QCOMPARE(tokens, seen);
}

void AnswerStreamTest::unreadableFinalAnswerIsADecodingError() {
    // A service whose "done" payload is not JSON, after one good token.
    test::TestHttpServer server;
    server.server().Post("/api/oauth/token", [](const httplib::Request&, httplib::Response& r) {
        r.set_content(R"({"access_token":"A","refresh_token":"R","expires_in":3600})",
                      "application/json");
    });
    server.server().Post(
        "/api/v1/answer/stream", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("event: token\ndata: {\"text\":\"Hai\"}\n\nevent: done\ndata: {oops\n\n",
                          "text/event-stream");
        });
    QVERIFY(server.start());
    test::TestEnvironment env;
    Defaults defaults(env.configHome() + "/notchora/defaults.json");
    defaults.setString("ai.baseURL", server.url().toString());
    AnswerHTTP http(defaults);
    KeychainStore keychain(env.dataHome() + "/Notchora/secrets.json", KeychainStore::Backend::File);
    QObject context;
    bool saved = false;
    keychain.save("R", "refresh_token", &context, [&] { saved = true; });
    QTRY_VERIFY(saved);
    AnswerAuth auth(http, keychain, Clock::system(), nullptr);
    AnswerAPIClient api(http, auth);

    QStringList tokens;
    std::optional<AnswerAPIError> error;
    auto* stream = api.stream(makeQuestion("Apa?", AIMode::Ask, {}), {}, &context);
    connect(stream, &AnswerStream::event, [&](const StreamEvent& e) { tokens << e.text; });
    connect(stream, &AnswerStream::failed, [&](const AnswerAPIError& e) { error = e; });
    QTRY_VERIFY_WITH_TIMEOUT(error.has_value(), 10000);
    QCOMPARE(tokens, QStringList{"Hai"});
    QCOMPARE(*error, AnswerHTTP::decodingError(200));
}

QTEST_MAIN(AnswerStreamTest)
#include "tst_answerstream.moc"
