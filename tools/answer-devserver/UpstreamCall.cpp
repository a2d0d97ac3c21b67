#include "UpstreamCall.h"

#include <httplib.h>

namespace notchora::answerd {

UpstreamCall::UpstreamCall(const UpstreamClient& upstream, QByteArray requestBody)
    : m_thread([this, &upstream, body = std::move(requestBody)] { run(upstream, body); }) {}

UpstreamCall::~UpstreamCall() {
    std::unique_lock lock(m_mutex);
    m_cancelled = true;
    // A stop can land between the connect and the first read and be missed: repeat it.
    while (!m_ended) {
        if (m_client)
            m_client->stop();
        m_changed.wait_for(lock, std::chrono::milliseconds(50));
    }
    lock.unlock();
    m_thread.join();
}

void UpstreamCall::run(const UpstreamClient& upstream, QByteArray requestBody) {
    const std::unique_ptr<httplib::Client> client = upstream.connect();
    httplib::Request request = upstream.chatRequest(requestBody);
    requestBody.clear();
    request.response_handler = [this](const httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        m_head = Head{true, response.status, response.get_header_value("Retry-After")};
        m_changed.notify_all();
        return !m_cancelled;
    };
    request.content_receiver = [this](const char* data, size_t length, uint64_t, uint64_t) {
        std::lock_guard lock(m_mutex);
        if (m_cancelled)
            return false;
        const bool success = m_head && m_head->status >= 200 && m_head->status < 300;
        // An error body is only ever looked at, never passed on: keep the start of it.
        if (!success && m_pending.size() + qsizetype(length) > maxErrorBody)
            return false;
        m_pending.append(data, qsizetype(length));
        m_changed.notify_all();
        return true;
    };
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled) {
            m_ended = true;
            m_head = m_head.value_or(Head{});
            m_changed.notify_all();
            return;
        }
        m_client = client.get();
    }
    const httplib::Result result = client->send(request);
    std::lock_guard lock(m_mutex);
    m_client = nullptr;
    m_ended = true;
    m_clean = result.error() == httplib::Error::Success;
    if (!m_head)
        m_head = Head{};
    m_changed.notify_all();
}

std::optional<UpstreamCall::Head> UpstreamCall::head(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, wait, [this] { return m_head.has_value(); });
    return m_head;
}

UpstreamCall::Body UpstreamCall::take(std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, wait, [this] { return !m_pending.isEmpty() || m_ended; });
    Body body{std::move(m_pending), m_ended, m_clean};
    m_pending.clear();
    return body;
}

void UpstreamCall::cancel() {
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    if (m_client)
        m_client->stop();
}

} // namespace notchora::answerd
