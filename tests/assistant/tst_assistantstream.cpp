#include "AssistantFixture.h"
#include "TestHttpServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <httplib.h>
#include <mutex>

using namespace notchora;
using Phase = AIAssistantService::Phase;

namespace {

// A service whose event stream the test writes, and which keeps the last question's body.
struct ScriptedService {
    ScriptedService() {
        server.server().Post("/api/oauth/token", [](const httplib::Request&,
                                                    httplib::Response& response) {
            response.set_content(R"({"access_token":"a","refresh_token":"r","expires_in":3600})",
                                 "application/json");
        });
        server.server().Post("/api/v1/answer/stream", [this](const httplib::Request& request,
                                                             httplib::Response& response) {
            std::lock_guard lock(mutex);
            body = QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object();
            response.set_content(events.toStdString(), "text/event-stream");
        });
        server.start();
    }
    static QByteArray token(const QString& text) {
        return "event: token\ndata: " +
               QJsonDocument(QJsonObject{{"text", text}}).toJson(QJsonDocument::Compact) + "\n\n";
    }
    void script(const QStringList& tokens, bool done = true) {
        std::lock_guard lock(mutex);
        events.clear();
        for (const QString& text : tokens)
            events += token(text);
        if (done)
            events += "event: done\ndata: {\"answers\":[{\"text\":\"Selesai\"}]}\n\n";
    }
    QJsonObject lastBody() {
        std::lock_guard lock(mutex);
        return body;
    }

    test::TestHttpServer server;
    std::mutex mutex;
    QByteArray events;
    QJsonObject body;
};

} // namespace

class AssistantStreamTest : public QObject {
    Q_OBJECT
private slots:
    void phaseFollowsWhatIsShown_data();
    void phaseFollowsWhatIsShown();
    void pastedImagesGoFirstAndTheScreenLast();
};

void AssistantStreamTest::phaseFollowsWhatIsShown_data() {
    QTest::addColumn<QStringList>("tokens");
    QTest::addColumn<QStringList>("shown"); // streamingText after each change
    QTest::newRow("JSON without a text key shows nothing and stays waiting")
        << QStringList{"{\"answer\"", ": 1", "}"} << QStringList();
    QTest::newRow("leading blanks, then words")
        << QStringList{"  ", "Hai", " kamu"} << QStringList{"  Hai", "  Hai kamu"};
    QTest::newRow("the text field of a JSON answer as it arrives")
        << QStringList{"{", "\"text\"", ":", "\"", "Hal", "\\u006f", " dunia", "\"}"}
        << QStringList{"Hal", "Halo", "Halo dunia"};
}

void AssistantStreamTest::phaseFollowsWhatIsShown() {
    QFETCH(QStringList, tokens);
    QFETCH(QStringList, shown);
    ScriptedService scripted;
    scripted.script(tokens);
    test::AssistantFixture f(scripted.server.url().toString(), "r");
    QStringList seen;
    QList<Phase> phases;
    connect(f.service.get(), &AIAssistantService::streamingTextChanged, this, [&] {
        if (!f.service->streamingText().isEmpty())
            seen << f.service->streamingText();
    });
    connect(f.service.get(), &AIAssistantService::phaseChanged, this,
            [&] { phases << f.service->phase(); });

    f.service->ask("Tanya", AIMode::Ask, false, false, false);
    QCOMPARE(f.waitForEnd(), AIAssistantService::Outcome::Answered);
    QCOMPARE(seen, shown);
    const QList<Phase> expected = shown.isEmpty()
                                      ? QList<Phase>{Phase::Waiting, Phase::Idle}
                                      : QList<Phase>{Phase::Waiting, Phase::Streaming, Phase::Idle};
    QCOMPARE(phases, expected);
    QCOMPARE(f.service->answer(), QStringLiteral("Selesai"));
}

void AssistantStreamTest::pastedImagesGoFirstAndTheScreenLast() {
    ScriptedService scripted;
    scripted.script({"ok"});
    test::AssistantFixture f(scripted.server.url().toString(), "r");
    f.attach(2);
    f.screen = test::jpeg(30, 30);
    QList<int> expected;
    for (const ChatAttachment& attachment : f.service->attachments())
        expected << attachment.image.width;
    expected << 30;
    f.service->ask("Bandingkan", AIMode::Ask, true, false, true);
    QCOMPARE(f.waitForEnd(), AIAssistantService::Outcome::Answered);

    QList<int> widths;
    const QJsonObject question =
        scripted.lastBody().value("questions").toArray().first().toObject();
    for (const QJsonValue& url : question.value("images").toArray()) {
        const QString prefix = QStringLiteral("data:image/jpeg;base64,");
        QVERIFY(url.toString().startsWith(prefix));
        widths << QImage::fromData(
                      QByteArray::fromBase64(url.toString().mid(prefix.size()).toLatin1()))
                      .width();
    }
    QCOMPARE(widths, expected);
    QCOMPARE(question.value("type").toString(), QStringLiteral("screen"));
}

QTEST_MAIN(AssistantStreamTest)
#include "tst_assistantstream.moc"
