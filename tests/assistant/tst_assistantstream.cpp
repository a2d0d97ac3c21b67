#include "AssistantFixture.h"
#include "TestHttpServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <httplib.h>
#include <mutex>

using namespace notchora;
using namespace notchora::test;
using Phase = AIAssistantService::Phase;
using Outcome = AIAssistantService::Outcome;

namespace {

// A service that streams the given tokens, then a done event, and keeps the last question.
struct ScriptedService {
    explicit ScriptedService(const QStringList& tokens) {
        for (const QString& text : tokens)
            events += "event: token\ndata: " +
                      QJsonDocument(QJsonObject{{"text", text}}).toJson(QJsonDocument::Compact) +
                      "\n\n";
        events += "event: done\ndata: {\"answers\":[{\"text\":\"Selesai\"}]}\n\n";
        server.server().Post("/api/oauth/token", [](const auto&, httplib::Response& response) {
            response.set_content(
                "{\"access_token\":\"a\",\"refresh_token\":\"r\",\"expires_in\":3600}",
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
    QJsonObject lastBody() {
        std::lock_guard lock(mutex);
        return body;
    }

    QByteArray events;
    TestHttpServer server;
    std::mutex mutex;
    QJsonObject body;
};

} // namespace

// What the service makes of a stream: the phase and text as they are shown, and the images
// it sends.
class AssistantStreamTest : public QObject {
    Q_OBJECT
private slots:
    void streamingFollowsWhatIsShown_data() {
        QTest::addColumn<QStringList>("tokens");
        QTest::addColumn<QStringList>("shown"); // streamingText after each change
        QTest::newRow("JSON without a text key shows nothing and stays waiting")
            << QStringList{"{\"answer\"", ": 1", "}"} << QStringList();
        QTest::newRow("the text field of a JSON answer as it arrives")
            << QStringList{"{", "\"text\"", ":", "\"", "Hal", "\\u006f", " dunia", "\"}"}
            << QStringList{"Hal", "Halo", "Halo dunia"};
    }
    void streamingFollowsWhatIsShown() {
        QFETCH(QStringList, tokens);
        QFETCH(QStringList, shown);
        ScriptedService scripted(tokens);
        AssistantFixture f(scripted.server.url().toString(), "r");
        QStringList seen;
        QList<Phase> phases;
        connect(f.service.get(), &AIAssistantService::streamingTextChanged, this, [&] {
            if (!f.service->streamingText().isEmpty())
                seen << f.service->streamingText();
        });
        connect(f.service.get(), &AIAssistantService::phaseChanged, this,
                [&] { phases << f.service->phase(); });
        f.service->ask("Tanya", AIMode::Ask, false, false, false);
        QCOMPARE(f.waitForEnd(), Outcome::Answered);
        QCOMPARE(seen, shown);
        QList<Phase> expected{Phase::Waiting, Phase::Idle};
        if (!shown.isEmpty())
            expected.insert(1, Phase::Streaming);
        QCOMPARE(phases, expected);
        QCOMPARE(f.service->answer(), QStringLiteral("Selesai"));
    }
    void pastedImagesGoFirstAndTheScreenLast() {
        ScriptedService scripted({"ok"});
        AssistantFixture f(scripted.server.url().toString(), "r");
        f.attach(2);
        QList<int> expected; // in the order they were pasted
        for (const ChatAttachment& attachment : f.service->attachments())
            expected << attachment.image.width;
        f.service->ask("Bandingkan", AIMode::Ask, true, false, true);
        QCOMPARE(f.waitForEnd(), Outcome::Answered);
        const QJsonObject question = scripted.lastBody()["questions"][0].toObject();
        QCOMPARE(question["type"].toString(), QStringLiteral("screen"));
        QList<int> widths;
        const QString prefix = QStringLiteral("data:image/jpeg;base64,");
        for (const QJsonValue& url : question["images"].toArray()) {
            QVERIFY(url.toString().startsWith(prefix));
            const QString base64 = url.toString().mid(prefix.size());
            widths << QImage::fromData(QByteArray::fromBase64(base64.toLatin1())).width();
        }
        QCOMPARE(widths, expected << 30);
    }
};

QTEST_MAIN(AssistantStreamTest)
#include "tst_assistantstream.moc"
