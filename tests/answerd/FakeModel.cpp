#include "FakeModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <httplib.h>
#include <memory>

namespace notchora::test {

FakeModel::FakeModel() {
    m_server.server().Post("/v1/chat/completions", [this](const httplib::Request& request,
                                                          httplib::Response& response) {
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
    });
}

FakeModel::~FakeModel() {
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_stopping.notify_all();
    m_server.stop();
}

QByteArray FakeModel::delta(const QString& text) {
    const QJsonObject chunk{
        {"object", "chat.completion.chunk"},
        {"choices", QJsonArray{QJsonObject{{"index", 0},
                                           {"delta", QJsonObject{{"content", text}}},
                                           {"finish_reason", QJsonValue::Null}}}}};
    return "data: " + QJsonDocument(chunk).toJson(QJsonDocument::Compact) + "\n\n";
}

QList<QByteArray> FakeModel::streamOf(const QStringList& deltas) {
    QList<QByteArray> chunks;
    for (const QString& text : deltas)
        chunks.append(delta(text));
    chunks.append(done());
    return chunks;
}

} // namespace notchora::test
