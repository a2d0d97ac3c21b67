#include "AnswerdProcess.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

using namespace notchora::test;

namespace {

const QString streamPath = QStringLiteral("/api/v1/answer/stream");

// Connections to the service that each keep sending a few more bytes of an unfinished
// request on every tick, so none of them ever times out on the service's side.
class TricklingClients {
public:
    TricklingClients(const QUrl& base, int count, QByteArray opening, QByteArray drip)
        : m_drip(std::move(drip)) {
        for (int i = 0; i < count; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(base.host(), quint16(base.port()));
            QObject::connect(socket.get(), &QTcpSocket::connected, socket.get(),
                             [s = socket.get(), opening] { s->write(opening); });
            m_sockets.push_back(std::move(socket));
        }
        m_tick.setInterval(250);
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            for (auto& socket : m_sockets) {
                if (socket->state() == QAbstractSocket::ConnectedState)
                    socket->write(m_drip);
            }
        });
        m_tick.start();
    }

    int connected() const {
        return int(std::count_if(m_sockets.begin(), m_sockets.end(), [](const auto& socket) {
            return socket->state() == QAbstractSocket::ConnectedState;
        }));
    }
    QTcpSocket& first() { return *m_sockets.front(); }

private:
    std::vector<std::unique_ptr<QTcpSocket>> m_sockets;
    QByteArray m_drip;
    QTimer m_tick;
};

QByteArray requestHead(const QUrl& base, const QByteArray& method, const QString& path,
                       const QByteArray& extraHeaders) {
    return method + ' ' + path.toUtf8() + " HTTP/1.1\r\nHost: " + base.authority().toUtf8() +
           "\r\n" + extraHeaders;
}

QNetworkReply* postStream(QNetworkAccessManager& network, const QUrl& url, const QString& token,
                          const QString& question) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    request.setRawHeader("Accept", "text/event-stream");
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    return network.post(
        request, QJsonDocument(AnswerdClient::answerBody(question)).toJson(QJsonDocument::Compact));
}

// The streamed tokens, in the order they came, must add up to the final answer.
QString checkedStreamText(const QByteArray& body) {
    const QList<SseEvent> events = parseEventStream(body);
    if (events.size() < 2 || events.last().name != u"done")
        return {};
    QString joined;
    for (qsizetype i = 0; i + 1 < events.size(); ++i) {
        if (events[i].name != u"token")
            return {};
        joined += events[i].data.value("text").toString();
    }
    const QJsonArray answers = events.last().data.value("answers").toArray();
    const QString text = answers.first().toObject().value("text").toString();
    return joined == text ? text : QString();
}

} // namespace

class AnswerdLoadTest : public QObject {
    Q_OBJECT
    TestEnvironment m_env;
    AnswerdPool m_services;

private slots:
    // 200 connections trickle their headers and never finish them; a real question is answered
    // while every one of them is still open.
    void slowClientsDoNotHoldUpOthers() {
        AnswerdProcess* server = m_services.get();
        QVERIFY(server);
        const QString token = AnswerdClient(*server).accessToken();
        const QUrl base(server->base());
        TricklingClients slow(base, 200, requestHead(base, "GET", "/", "X-Slow: "), "a");
        QTRY_COMPARE_WITH_TIMEOUT(slow.connected(), 200, 30000);
        QNetworkAccessManager network;
        std::unique_ptr<QNetworkReply> reply(
            postStream(network, server->url(streamPath), token, "Masih ada yang menjawab?"));
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 30000);
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QVERIFY(checkedStreamText(reply->readAll()).contains("Masih ada yang menjawab?"));
        QCOMPARE(slow.connected(), 200);
    }
    // 50 slow streams at once: each completes, its tokens in order, with its own answer.
    void concurrentStreamsComplete() {
        AnswerdProcess* server = m_services.get({"--fail", "slow", "--token-delay", "20"});
        QVERIFY(server);
        const QString token = AnswerdClient(*server).accessToken();
        constexpr int streams = 50;
        // One manager each: a manager opens at most six connections to a host.
        std::vector<std::unique_ptr<QNetworkAccessManager>> networks;
        std::vector<std::unique_ptr<QNetworkReply>> replies;
        for (int i = 0; i < streams; ++i) {
            networks.push_back(std::make_unique<QNetworkAccessManager>());
            replies.emplace_back(postStream(*networks.back(), server->url(streamPath), token,
                                            QStringLiteral("Pertanyaan [%1]").arg(i)));
        }
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(replies.begin(), replies.end(),
                                             [](const auto& reply) { return reply->isFinished(); }),
                                 60000);
        for (int i = 0; i < streams; ++i) {
            QNetworkReply& reply = *replies[size_t(i)];
            QCOMPARE(reply.error(), QNetworkReply::NoError);
            const QString text = checkedStreamText(reply.readAll());
            QVERIFY2(text.contains(QStringLiteral("Pertanyaan [%1]").arg(i)),
                     qPrintable(QStringLiteral("stream %1: %2").arg(i).arg(text)));
        }
    }
    void bodyRefusedFromHeaders_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<int>("status");
        const QByteArray json = "Content-Type: application/json\r\n";
        const std::tuple<const char*, const char*, const char*, int> rows[] = {
            {"answer over 16 MiB", "/api/v1/answer", "Content-Length: 16777217", 413},
            {"stream of 16 GiB", "/api/v1/answer/stream", "Content-Length: 17179869184", 413},
            {"length beyond 64 bits", "/api/v1/answer/compact",
             "Content-Length: 99999999999999999999999", 413},
            {"token over 64 KiB", "/api/oauth/token", "Content-Length: 65537", 413},
            {"answer without a length", "/api/v1/answer", "Transfer-Encoding: chunked", 411}};
        for (const auto& [name, path, header, status] : rows)
            QTest::newRow(name) << QString(path) << json + header + "\r\n" << status;
    }
    // Only the headers and then a trickle of body: a refusal has to come from the headers, as a
    // service reading the body first would wait for all of it.
    void bodyRefusedFromHeaders() {
        QFETCH(QString, path);
        QFETCH(QByteArray, headers);
        QFETCH(int, status);
        AnswerdProcess* server = m_services.get();
        QVERIFY(server);
        const QUrl base(server->base());
        TricklingClients sender(base, 1, requestHead(base, "POST", path, headers + "\r\n"), " ");
        QTcpSocket& socket = sender.first();
        QTRY_VERIFY_WITH_TIMEOUT(socket.canReadLine(), 20000);
        const QByteArray statusLine = socket.readLine();
        QVERIFY2(statusLine.startsWith("HTTP/1.1 " + QByteArray::number(status)), statusLine);
    }
};

QTEST_GUILESS_MAIN(AnswerdLoadTest)
#include "tst_answerdload.moc"
