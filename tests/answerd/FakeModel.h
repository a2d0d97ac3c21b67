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
    bool start() { return m_server.start(); }
    // The base URL a service is given ("http://127.0.0.1:PORT/v1").
    QString endpoint() const { return m_server.url(QStringLiteral("/v1")).toString(); }

    void setReply(const Reply& reply) {
        std::lock_guard lock(m_mutex);
        m_reply = reply;
    }
    QList<QJsonObject> requests() const { return locked(m_requests); }
    QList<QByteArray> authorizations() const { return locked(m_authorizations); }
    // Whether a held reply found its caller gone.
    bool sawHangUp() const { return locked(m_hangUp); }

    // One streamed delta, as such services send it.
    static QByteArray delta(const QString& text);
    static QByteArray done() { return "data: [DONE]\n\n"; }
    // A whole streamed reply of these deltas, ending in [DONE].
    static QList<QByteArray> streamOf(const QStringList& deltas);

private:
    template <class T> T locked(const T& value) const {
        std::lock_guard lock(m_mutex);
        return value;
    }

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
