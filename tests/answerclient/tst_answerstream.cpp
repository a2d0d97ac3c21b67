#include "AnswerStack.h"
#include "AnswerdProcess.h"
#include "answer/AnswerAPIClient.h"
#include "answer/AnswerStream.h"
#include "platform/SystemClock.h"

#include <QJsonArray>
#include <QTest>

using namespace notchora;

Q_DECLARE_METATYPE(std::optional<int>)

namespace {

// A signed-in client talking to a development service (none when it did not start).
struct Session : test::AnswerStack {
    explicit Session(test::AnswerdProcess* answerd) {
        if (!answerd)
            return;
        // Signed in the way the browser flow would, keeping only the refresh token.
        const QString refresh =
            test::AnswerdClient(*answerd).signIn().value("refresh_token").toString();
        setBase(QUrl(answerd->base()));
        storeRefreshToken(refresh);
        api = std::make_unique<AnswerAPIClient>(http, makeAuth(Clock::system(), nullptr));
        ready = !refresh.isEmpty();
    }
    struct Outcome {
        QStringList tokens;
        std::optional<AnswerResult> result;
        std::optional<AnswerAPIError> error;
        int finishedCount = 0;
    };
    Outcome ask(const QString& text, const ChatContext& chat = {}) {
        Outcome outcome;
        std::unique_ptr<AnswerStream> stream(
            api->stream(makeQuestion(text, AIMode::Ask, {}), chat, &context));
        QObject::connect(stream.get(), &AnswerStream::event, [&](const StreamEvent& e) {
            if (e.kind == StreamEvent::Kind::Token)
                outcome.tokens << e.text;
            else
                outcome.result = e.result;
        });
        QObject::connect(stream.get(), &AnswerStream::failed,
                         [&](const AnswerAPIError& e) { outcome.error = e; });
        QObject::connect(stream.get(), &AnswerStream::finished, [&] { ++outcome.finishedCount; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(outcome.finishedCount > 0, 20000); }();
        QCoreApplication::processEvents(); // nothing may follow the end
        return outcome;
    }
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
    test::AnswerdPool m_services; // one service per argument list

private slots:
    void requestBodies_data() {
        QTest::addColumn<int>("messages");
        QTest::addColumn<QVariant>("summary");
        QTest::addColumn<int>("sentMessages");
        QTest::addColumn<QString>("sentSummary"); // empty: no key
        QTest::newRow("empty context") << 0 << QVariant() << 0 << "";
        QTest::newRow("55 messages keep the last 40") << 55 << QVariant() << 40 << "";
        QTest::newRow("summary of only spaces") << 2 << QVariant(" \n\t ") << 2 << "";
        QTest::newRow("summary trimmed") << 0 << QVariant("\n ringkas \n") << 0 << "ringkas";
    }
    void requestBodies() {
        QFETCH(int, messages);
        QFETCH(QVariant, summary);
        QFETCH(int, sentMessages);
        QFETCH(QString, sentSummary);
        const ChatContext context = contextOf(
            messages, summary.isValid() ? std::optional(summary.toString()) : std::nullopt);
        const QJsonObject body =
            AnswerAPIClient::answerBody(makeQuestion("Apa?", AIMode::Ask, {}), context);
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
    void messagesAreCutBetweenCharacters() {
        const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
        ChatContext context;
        context.messages << ChatContextMessage{"user", QString(3999, 'a') + family + family};
        context.summary = QString(5999, 'b') + QString::fromUtf8("e\u0301") + "tail";
        const QJsonObject body = AnswerAPIClient::compactionBody(context);
        QCOMPARE(body.value("history").toArray().first().toObject().value("content").toString(),
                 QString(3999, 'a') + family);
        QCOMPARE(body.value("summary").toString(),
                 QString(5999, 'b') + QString::fromUtf8("e\u0301"));
    }
    // An answer streams in tokens that add up to it. Each kind of failure on the way reaches the
    // caller once, as a failure; the messages are the error table's and the parser's. A single
    // 401 is retried with a fresh token, unseen.
    void outcomes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // -1: answered
        QTest::addColumn<std::optional<int>>("retryAfter");
        const std::optional<int> none;
        QTest::newRow("answered") << QStringList() << -1 << none;
        QTest::newRow("401 once") << QStringList{"--fail", "stream:401-once"} << -1 << none;
        QTest::newRow("401 twice") << QStringList{"--fail", "stream:401"} << 401 << none;
        QTest::newRow("429 with Retry-After")
            << QStringList{"--fail", "stream:429", "--retry-after", "10"} << 429
            << std::optional(10);
        QTest::newRow("error event") << QStringList{"--fail", "error-event"} << 502 << none;
        QTest::newRow("cut before done") << QStringList{"--fail", "end-early"} << 0 << none;
    }
    void outcomes() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(std::optional<int>, retryAfter);
        Session s(m_services.get(arguments));
        QVERIFY(s.ready);
        const auto outcome = s.ask("Apa ini?");
        QCOMPARE(outcome.finishedCount, 1);
        QCOMPARE(outcome.result.has_value(), status < 0);
        QCOMPARE(outcome.error.has_value(), status >= 0);
        if (!outcome.error) {
            QCOMPARE(outcome.tokens.join(QString()), outcome.result->text.value_or("-"));
            return;
        }
        QCOMPARE(outcome.error->status, status);
        QCOMPARE(outcome.error->retryAfter, retryAfter);
        // A second refusal after a fresh token means the sign-in is gone.
        QCOMPARE(outcome.error->needsSignIn, status == 401);
        QCOMPARE(outcome.error->message == QString::fromUtf8(AnswerAPIError::notSignedInMessage),
                 status == 401);
    }
};

QTEST_MAIN(AnswerStreamTest)
#include "tst_answerstream.moc"
