#pragma once

#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QUrl>
#include <map>
#include <memory>

namespace notchora::test {

// A running notchora-answerd (the development answer service) on a free loopback port,
// stopped when this goes away.
class AnswerdProcess {
public:
    ~AnswerdProcess() { stop(); }
    // Starts the service with `arguments` (the port is chosen here) and, when given, its
    // whole environment; false when it did not come up.
    bool start(const QStringList& arguments = {},
               const QProcessEnvironment& environment = QProcessEnvironment());
    void stop();
    // What it wrote on stderr so far.
    QByteArray errorOutput() { return m_errors += m_process.readAllStandardError(); }
    QUrl url(const QString& path) const { return QUrl(m_base + path); }
    QString base() const { return m_base; }

private:
    QProcess m_process;
    QString m_base;
    QByteArray m_errors;
};

// Services by argument list, each started on first use and shared by every row that asks
// for the same list.
class AnswerdPool {
public:
    // nullptr when the service did not come up.
    AnswerdProcess* get(const QStringList& arguments = {});

private:
    std::map<QString, std::unique_ptr<AnswerdProcess>> m_running;
};

// What came back for one request.
struct HttpReply {
    int status = 0;
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QByteArray location;
    QByteArray retryAfter;
    bool hasRetryAfter = false;
    QByteArray contentType;
    QJsonObject json() const;
};

struct SseEvent {
    QString name;
    QJsonObject data;
};
// Splits a complete event-stream body into its events; comment blocks are skipped.
QList<SseEvent> parseEventStream(const QByteArray& body);

// A small blocking client for driving the service from a test.
class AnswerdClient {
public:
    explicit AnswerdClient(const AnswerdProcess& server) : m_server(server) {}

    HttpReply get(const QUrl& url);
    HttpReply postJson(const QString& path, const QJsonObject& body,
                       const QString& bearer = QString());
    HttpReply postRaw(const QString& path, const QByteArray& body, const QByteArray& contentType,
                      const QString& bearer = QString());

    // Runs the authorize page for `verifier` and returns the redirect.
    QUrl authorize(const QString& verifier, const QString& state);
    // Authorize plus code exchange; returns the token reply.
    QJsonObject signIn();
    QString accessToken() { return signIn().value(QStringLiteral("access_token")).toString(); }

    static QJsonObject answerBody(const QString& text, int historyCount = 0);
    // A compaction request over `historyCount` messages.
    static QJsonObject compactionBody(int historyCount);
    static QJsonObject refreshBody(const QString& refreshToken);

    static inline const QString verifier =
        QStringLiteral("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk");

private:
    HttpReply finish(QNetworkReply* reply);

    const AnswerdProcess& m_server;
    QNetworkAccessManager m_network;
};

} // namespace notchora::test
