#pragma once

#include "TestHttpServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <condition_variable>
#include <httplib.h>
#include <memory>
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

    FakeModel() {
        m_server.server().Post("/v1/chat/completions",
                               [this](const httplib::Request& request,
                                      httplib::Response& response) { serve(request, response); });
    }
    ~FakeModel() {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_stopping.notify_all();
        m_server.stop();
    }
    bool start() { return m_server.start(); }
    QString endpoint() const { return m_server.url(QStringLiteral("/v1")).toString(); }

    void setReply(const Reply& reply) {
        std::lock_guard lock(m_mutex);
        m_reply = reply;
    }
    QList<QJsonObject> requests() const { return locked(m_requests); }
    QList<QByteArray> authorizations() const { return locked(m_authorizations); }
    // Whether a held reply found its caller gone.
    bool sawHangUp() const { return locked(m_hangUp); }

    static QByteArray delta(const QString& text) {
        const QJsonObject chunk{
            {"object", "chat.completion.chunk"},
            {"choices", QJsonArray{QJsonObject{{"index", 0},
                                               {"delta", QJsonObject{{"content", text}}},
                                               {"finish_reason", QJsonValue::Null}}}}};
        return "data: " + QJsonDocument(chunk).toJson(QJsonDocument::Compact) + "\n\n";
    }
    static QByteArray done() { return "data: [DONE]\n\n"; }
    static QList<QByteArray> streamOf(const QStringList& deltas) {
        QList<QByteArray> chunks;
        for (const QString& text : deltas)
            chunks.append(delta(text));
        chunks.append(done());
        return chunks;
    }

private:
    template <class T> T locked(const T& value) const {
        std::lock_guard lock(m_mutex);
        return value;
    }
    void serve(const httplib::Request& request, httplib::Response& response) {
        Reply reply;
        {
            std::lock_guard lock(m_mutex);
            m_requests.append(
                QJsonDocument::fromJson(QByteArray::fromStdString(request.body)).object());
            m_authorizations.append(
                QByteArray::fromStdString(request.get_header_value("Authorization")));
            reply = m_reply;
        }
        if (!reply.retryAfter.isEmpty())
            response.set_header("Retry-After", reply.retryAfter.toStdString());
        if (reply.status != 200) {
            response.status = reply.status;
            response.set_content(R"({"error":{"message":"refused"}})", "application/json");
            return;
        }
        auto next = std::make_shared<qsizetype>(0);
        response.set_chunked_content_provider(
            "text/event-stream", [this, reply, next](size_t, httplib::DataSink& sink) {
                if (*next < reply.chunks.size()) {
                    const QByteArray& chunk = reply.chunks[(*next)++];
                    return sink.write(chunk.constData(), size_t(chunk.size()));
                }
                if (reply.cut)
                    return false;
                if (!reply.hold) {
                    sink.done();
                    return true;
                }
                // Something must be written to learn that the other end has gone.
                std::unique_lock lock(m_mutex);
                if (m_stopping.wait_for(lock, std::chrono::milliseconds(20),
                                        [this] { return m_stopped; }))
                    return false;
                lock.unlock();
                if (sink.write(": ping\n\n", 8))
                    return true;
                lock.lock();
                m_hangUp = true;
                return false;
            });
    }

    TestHttpServer m_server;
    mutable std::mutex m_mutex;
    Reply m_reply;
    QList<QJsonObject> m_requests;
    QList<QByteArray> m_authorizations;
    bool m_hangUp = false;
    bool m_stopped = false;
    std::condition_variable m_stopping;
};

} // namespace notchora::test
