#include "AnswerdProcess.h"
#include "answer/AnswerEventParser.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

using namespace notchora;
using namespace notchora::test;
using Event = AnswerEventParser::Event;

namespace {
const QString expectedAnswer = QStringLiteral("Jawaban uji untuk \u201CApa kabar?\u201D. "
                                              "Riwayat: 2 pesan.");
}

// The event parser reading the development service's real stream, as the network delivers it.
// What each failure switch sends is the service's contract test; one failure row is enough here.
class AnswerStreamWireTest : public QObject {
    Q_OBJECT
private slots:
    void stream_data();
    void stream();
};

void AnswerStreamWireTest::stream_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("endType"); // Event::Type of the last event
    QTest::addColumn<int>("endStatus");
    QTest::addColumn<QString>("endText");

    const int done = int(Event::Type::Done);
    const int failure = int(Event::Type::Failure);
    QTest::newRow("answer") << QStringList() << done << 0 << expectedAnswer;
    QTest::newRow("slow answer") << QStringList{"--fail", "slow", "--token-delay", "20"} << done
                                 << 0 << expectedAnswer;
    QTest::newRow("error event")
        << QStringList{"--fail", "error-event"} << failure << 502
        << QStringLiteral("Layanan AI gagal di tengah jawaban: Model kehabisan waktu.");
}

void AnswerStreamWireTest::stream() {
    QFETCH(QStringList, args);
    QFETCH(int, endType);
    QFETCH(int, endStatus);
    QFETCH(QString, endText);

    AnswerdProcess server;
    QVERIFY(server.start(args));
    AnswerdClient client(server);
    const QString token = client.signIn().value("access_token").toString();
    QVERIFY(!token.isEmpty());

    QNetworkAccessManager network;
    QNetworkRequest request(server.url("/api/v1/answer/stream"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    request.setRawHeader("Accept", "text/event-stream");
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    QNetworkReply* reply =
        network.post(request, QJsonDocument(AnswerdClient::answerBody("Apa kabar?", 2)).toJson());

    AnswerEventParser parser;
    QList<Event> events;
    int tokensBeforeTheEnd = 0;
    connect(reply, &QNetworkReply::readyRead, this, [&] {
        for (const Event& event : parser.feed(reply->readAll())) {
            events.append(event);
            tokensBeforeTheEnd += event.type == Event::Type::Token && !reply->isFinished();
        }
    });
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(20000));
    events += parser.feed(reply->readAll());
    events += parser.finish();
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    reply->deleteLater();

    QVERIFY(events.size() >= 2);
    QString joined;
    for (qsizetype i = 0; i + 1 < events.size(); ++i) {
        QCOMPARE(events[i].type, Event::Type::Token);
        joined += events[i].text;
    }
    const Event& last = events.last();
    QCOMPARE(int(last.type), endType);
    if (last.type == Event::Type::Done) {
        QCOMPARE(last.result.value("text").toString(), endText);
        QCOMPARE(joined, endText);
    } else {
        QCOMPARE(last.status, endStatus);
        QCOMPARE(last.text, endText);
        // Whatever text came before the failure is the start of the answer.
        QVERIFY(!joined.isEmpty());
        QVERIFY(expectedAnswer.startsWith(joined));
    }
    if (args.contains("slow")) {
        // Text shows while the answer is still being written.
        QVERIFY(tokensBeforeTheEnd > 1);
    }
}

QTEST_GUILESS_MAIN(AnswerStreamWireTest)
#include "tst_answerstreamwire.moc"
