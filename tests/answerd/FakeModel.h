#pragma once

#include "TestHttpServer.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <condition_variable>
#include <mutex>

namespace notchora::test {

// An OpenAI-compatible chat-completions service on loopback that replies as the test says
// and remembers what it was asked.
class FakeModel {
public:
    struct Reply {
        int status = 200;
        QByteArray retryAfter;    // sent when not empty
        QList<QByteArray> chunks; // written one by one, as separate network writes
        bool cut = false;         // the connection is cut after the chunks
        bool hold = false;        // after the chunks, stay open until the caller hangs up
    };

    static Reply streaming(QList<QByteArray> chunks, bool cut = false, bool hold = false) {
        return {200, {}, std::move(chunks), cut, hold};
    }
    static Reply refusing(int status, QByteArray retryAfter = {}) {
        return {status, std::move(retryAfter), {}, false, false};
    }

    FakeModel();
    ~FakeModel();
    bool start();
    // The base URL a service is given ("http://127.0.0.1:PORT/v1").
    QString endpoint() const;

    void setReply(const Reply& reply);
    QList<QJsonObject> requests() const;
    QList<QByteArray> authorizations() const;
    // Whether a held reply found its caller gone.
    bool sawHangUp() const;

    // One streamed delta, as such services send it.
    static QByteArray delta(const QString& text);
    static QByteArray done() { return "data: [DONE]\n\n"; }
    // A whole streamed reply of these deltas, ending in [DONE].
    static QList<QByteArray> streamOf(const QStringList& deltas);

private:
    TestHttpServer m_server;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopping;
    bool m_stopped = false;
    Reply m_reply;
    QList<QJsonObject> m_requests;
    QList<QByteArray> m_authorizations;
    bool m_hangUp = false;
};

} // namespace notchora::test
