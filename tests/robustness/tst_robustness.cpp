// The answer client and the capture task under the faults review found: consumers deleting
// them from inside their own signals, a token endpoint that says 401, an error body that never
// ends. Built with AddressSanitizer, so any touch of a deleted object fails the run.
#include "AnswerStack.h"
#include "AnswerdProcess.h"
#include "ManualClock.h"
#include "TestEnvironment.h"
#include "TestHttpServer.h"
#include "answer/AnswerAPIClient.h"
#include "answer/AnswerAuth.h"
#include "answer/AnswerHTTP.h"
#include "answer/AnswerHTTPCall.h"
#include "answer/AnswerStream.h"
#include "answer/KeychainStore.h"
#include "platform/Defaults.h"
#include "platform/SystemClock.h"
#include "screenshot/CaptureTask.h"
#include "screenshot/ScreenCapture.h"

#include <QFile>
#include <QJsonObject>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <chrono>
#include <httplib.h>
#include <thread>

using namespace notchora;

namespace {

// A client signed in to `base` with `refreshToken` kept in the file secret store.
struct SignedInClient : test::AnswerStack {
    SignedInClient(const QString& base, const QString& refreshToken) : AnswerStack(QUrl(base)) {
        storeRefreshToken(refreshToken);
        api = std::make_unique<AnswerAPIClient>(http, makeAuth());
    }
    AnswerStream* stream(const QString& text) {
        return api->stream(makeQuestion(text, AIMode::Ask, {}), {}, &context);
    }
    std::unique_ptr<AnswerAPIClient> api;
};

QString signIn(const test::AnswerdProcess& answerd) {
    return test::AnswerdClient(answerd).signIn().value("refresh_token").toString();
}

} // namespace

class RobustnessTest : public QObject {
    Q_OBJECT
private slots:
    void streamDeletedFromItsSignal_data();
    void streamDeletedFromItsSignal();
    void captureDeletedFromFinished_data();
    void captureDeletedFromFinished();
    void tokenEndpointUnauthorized_data();
    void tokenEndpointUnauthorized();
    void endlessErrorBodyIsCut();
    void endlessReplyIsRefused_data();
    void endlessReplyIsRefused();
    void tricklingTokenServerMeetsTheDeadline_data();
    void tricklingTokenServerMeetsTheDeadline();
    void tokenLifetimeOutOfRange_data();
    void tokenLifetimeOutOfRange();
};

void RobustnessTest::streamDeletedFromItsSignal_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("signal");
    QTest::newRow("first token") << QStringList{} << "token";
    QTest::newRow("done") << QStringList{} << "done";
    QTest::newRow("finished after done") << QStringList{} << "finished";
    QTest::newRow("failed") << QStringList{"--fail", "stream:502"} << "failed";
    QTest::newRow("finished after failure") << QStringList{"--fail", "stream:502"} << "finished";
    QTest::newRow("error event") << QStringList{"--fail", "error-event"} << "failed";
}

void RobustnessTest::streamDeletedFromItsSignal() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, signal);
    test::AnswerdProcess answerd;
    QVERIFY(answerd.start(arguments));
    SignedInClient client(answerd.base(), signIn(answerd));

    QPointer<AnswerStream> stream = client.stream("Hapus aku");
    int after = 0; // signals seen after the deletion
    bool deleted = false;
    auto maybeDelete = [&](const QString& name) {
        if (deleted) {
            ++after;
            return;
        }
        if (name == signal) {
            deleted = true;
            delete stream.data();
        }
    };
    connect(stream, &AnswerStream::event, [&](const StreamEvent& e) {
        maybeDelete(e.kind == StreamEvent::Kind::Token ? "token" : "done");
    });
    connect(stream, &AnswerStream::failed, [&] { maybeDelete("failed"); });
    connect(stream, &AnswerStream::finished, [&] { maybeDelete("finished"); });
    QTRY_VERIFY_WITH_TIMEOUT(deleted, 10000);
    QVERIFY(stream.isNull());
    QCOMPARE(after, 0);
}

void RobustnessTest::captureDeletedFromFinished_data() {
    QTest::addColumn<QString>("tool");
    QTest::addColumn<bool>("ok");
    QTest::newRow("no display to capture") << "" << false;
    QTest::newRow("tool missing") << "/nonexistent/notchora-screencapture" << false;
    QTest::newRow("tool writes nothing") << "/bin/true" << false;
    QTest::newRow("picture") << "picture" << true;
}

void RobustnessTest::captureDeletedFromFinished() {
    QFETCH(QString, tool);
    QFETCH(bool, ok);
    test::TestEnvironment env;
    if (tool == "picture") {
        // A stand-in tool that writes a small JPEG to the path it is given.
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString source = env.root() + "/source.jpg";
        QVERIFY(image.save(source, "JPG"));
        tool = env.root() + "/tool.sh";
        QVERIFY(test::writeFile(tool, "#!/bin/sh\nfor last; do :; done\ncp '" + source.toUtf8() +
                                          "' \"$last\"\n"));
        QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    qputenv("NOTCHORA_SCREENCAPTURE_TOOL", tool.toUtf8());
    // A display the tool is left to judge; none at all means no permission to capture.
    qputenv("DISPLAY", tool.isEmpty() ? QByteArray() : QByteArray("capture.invalid:0"));
    QObject owner;
    QPointer<CaptureTask> task = new CaptureTask(1'200'000, Clock::system(), &owner);
    const QString temp = task->tempPath();
    std::optional<bool> succeeded;
    connect(task, &CaptureTask::finished, [&](const ScreenCapture::Result& result) {
        succeeded = result.ok();
        delete task.data();
    });
    task->start();
    QTRY_VERIFY_WITH_TIMEOUT(succeeded.has_value(), 10000);
    QCOMPARE(*succeeded, ok);
    QVERIFY(task.isNull());
    QVERIFY(!QFile::exists(temp));
    // Let deferred deletions run: nothing of the task may be touched by them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qunsetenv("NOTCHORA_SCREENCAPTURE_TOOL");
}

void RobustnessTest::tokenEndpointUnauthorized_data() {
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("answered");
    QTest::newRow("once: retried unseen") << "refresh:401-once" << true;
    QTest::newRow("always: not signed in") << "refresh:401" << false;
}

// The refresh's own 401 gets the one retry a request's 401 gets, on both paths.
void RobustnessTest::tokenEndpointUnauthorized() {
    QFETCH(QString, failure);
    QFETCH(bool, answered);
    for (const bool streamed : {true, false}) {
        test::AnswerdProcess answerd;
        QVERIFY(answerd.start({"--fail", failure}));
        SignedInClient client(answerd.base(), signIn(answerd));
        std::optional<AnswerAPIError> error;
        bool done = false;
        if (streamed) {
            AnswerStream* stream = client.stream("Token?");
            connect(stream, &AnswerStream::failed, [&](const AnswerAPIError& e) { error = e; });
            connect(stream, &AnswerStream::finished, [&] { done = true; });
        } else {
            client.api->answer(makeQuestion("Token?", AIMode::Ask, {}), {}, &client.context,
                               [&](const std::variant<AnswerResult, AnswerAPIError>& r) {
                                   if (const auto* e = std::get_if<AnswerAPIError>(&r))
                                       error = *e;
                                   done = true;
                               });
        }
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
        if (answered)
            QVERIFY2(!error, qPrintable(error ? error->message : QString()));
        else
            QCOMPARE(error, std::optional(AnswerAPIError::notSignedIn()));
    }
}

// An error reply that keeps sending is judged on its first 16 KiB, without waiting for more.
void RobustnessTest::endlessErrorBodyIsCut() {
    std::atomic<bool> release = false;
    test::TestHttpServer server;
    // However the test ends, the server's handler lets go before the server is stopped.
    const auto releaseAtEnd = qScopeGuard([&] { release = true; });
    server.server().Post("/api/oauth/token", [](const httplib::Request&, httplib::Response& r) {
        r.set_content(R"({"access_token":"A","refresh_token":"R","expires_in":3600})",
                      "application/json");
    });
    server.server().Post("/api/v1/answer/stream",
                         [&](const httplib::Request&, httplib::Response& r) {
                             r.status = 500;
                             // Not a text type: the server would compress it and hold it back.
                             r.set_chunked_content_provider(
                                 "application/octet-stream", [&](size_t, httplib::DataSink& sink) {
                                     const std::string chunk(4096, 'x');
                                     for (int i = 0; i < 8 && !release; ++i)
                                         sink.write(chunk.data(), chunk.size());
                                     while (!release) // holds the reply open until the test is over
                                         std::this_thread::sleep_for(std::chrono::milliseconds(10));
                                     sink.done();
                                     return true;
                                 });
                         });
    QVERIFY(server.start());
    SignedInClient client(server.url().toString(), "R");
    std::optional<AnswerAPIError> error;
    AnswerStream* stream = client.stream("Galat?");
    connect(stream, &AnswerStream::failed, [&](const AnswerAPIError& e) { error = e; });
    QTRY_VERIFY_WITH_TIMEOUT(error.has_value(), 10000);
    release = true;
    QCOMPARE(error->status, 500);
}

void RobustnessTest::endlessReplyIsRefused_data() {
    QTest::addColumn<int>("status");
    QTest::newRow("200") << 200;
    QTest::newRow("500") << 500;
}

// A reply body that never ends is given up past its cap, instead of growing without bound.
void RobustnessTest::endlessReplyIsRefused() {
    QFETCH(int, status);
    std::atomic<bool> release = false;
    test::TestHttpServer server;
    const auto releaseAtEnd = qScopeGuard([&] { release = true; });
    server.server().Post("/api/v1/answer", [&](const httplib::Request&, httplib::Response& r) {
        r.status = status;
        r.set_chunked_content_provider(
            "application/octet-stream", [&](size_t, httplib::DataSink& sink) {
                const std::string chunk(64 * 1024, 'x');
                return !release && sink.write(chunk.data(), chunk.size());
            });
    });
    QVERIFY(server.start());
    test::AnswerStack stack(server.url());
    QObject owner;
    AnswerHTTPCall* call = stack.http.post("v1/answer", {}, QString("tok"), &owner);
    QSignalSpy finished(call, &AnswerHTTPCall::finished);
    QVERIFY(finished.wait(10000));
    release = true;
    QVERIFY(call->result().error.has_value());
    QCOMPARE(call->result().error->message, QStringLiteral("Respons server terlalu besar."));
}

void RobustnessTest::tricklingTokenServerMeetsTheDeadline_data() {
    QTest::addColumn<bool>("signingIn"); // the code exchange, else a refresh
    QTest::newRow("refresh") << false;
    QTest::newRow("code exchange") << true;
}

// A token endpoint that sends a byte now and then never trips the idle time-out; the request
// still ends at its deadline.
void RobustnessTest::tricklingTokenServerMeetsTheDeadline() {
    QFETCH(bool, signingIn);
    std::atomic<bool> release = false;
    std::atomic<int> requests = 0;
    test::TestHttpServer server;
    const auto releaseAtEnd = qScopeGuard([&] { release = true; });
    server.server().Post("/api/oauth/token", [&](const httplib::Request&, httplib::Response& r) {
        ++requests;
        r.set_chunked_content_provider(
            "application/octet-stream", [&](size_t, httplib::DataSink& sink) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                return !release && sink.write(" ", 1);
            });
    });
    QVERIFY(server.start());
    ManualClock clock;
    test::AnswerStack stack(server.url());
    stack.storeRefreshToken("R");
    AnswerAuth& auth = stack.makeAuth(clock);
    QTRY_VERIFY(auth.state() != AnswerAuth::State::Checking);
    std::optional<AnswerAuth::TokenResult> token;
    if (signingIn) {
        auth.signIn();
        QVERIFY(auth.handleCallback(
            QUrl("soalika-answer://callback?code=abc&state=" + auth.pendingRequest()->state)));
    } else {
        auth.validAccessToken(&stack.context,
                              [&](const AnswerAuth::TokenResult& result) { token = result; });
    }
    QTRY_COMPARE(requests.load(), 1);
    clock.advance(AnswerAuth::tokenRequestDeadline + 1);
    const QString timedOut = QStringLiteral("Permintaan kehabisan waktu.");
    if (signingIn) {
        QTRY_COMPARE(auth.state(), AnswerAuth::State::Failed);
        QCOMPARE(auth.failureMessage(), timedOut);
    } else {
        QTRY_VERIFY(token.has_value());
        QVERIFY(std::holds_alternative<AnswerAPIError>(*token));
        QCOMPARE(std::get<AnswerAPIError>(*token).message, timedOut);
    }
}

void RobustnessTest::tokenLifetimeOutOfRange_data() {
    QTest::addColumn<double>("expiresIn");
    QTest::addColumn<qint64>("kept");
    QTest::newRow("an hour") << 3600.0 << qint64(3600);
    QTest::newRow("negative: expired at once") << -5.0 << qint64(0);
    QTest::newRow("1e300: a year") << 1e300 << qint64(31'536'000);
    QTest::newRow("past 64 bits: a year") << 2e19 << qint64(31'536'000);
}

void RobustnessTest::tokenLifetimeOutOfRange() {
    QFETCH(double, expiresIn);
    QFETCH(qint64, kept);
    const auto tokens = AnswerAuth::Tokens::fromJson(
        QJsonObject{{"accessToken", "A"}, {"refreshToken", "R"}, {"expiresIn", expiresIn}});
    QVERIFY(tokens.has_value());
    QCOMPARE(tokens->expiresIn, kept);
}

QTEST_MAIN(RobustnessTest)
#include "tst_robustness.moc"
