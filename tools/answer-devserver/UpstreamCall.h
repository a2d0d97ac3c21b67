#pragma once

#include "UpstreamClient.h"

#include <QByteArray>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace notchora::answerd {

// One chat-completions request to the model, run on a thread of its own so the caller can
// look at the reply's status before it answers, take the body as it arrives, and cancel it
// at any moment. Destroying it cancels what is still running.
class UpstreamCall {
public:
    struct Head {
        bool reached = false; // false: no reply at all (refused, timed out, cancelled)
        int status = 0;
        std::string retryAfter;
    };
    struct Body {
        QByteArray bytes;
        bool ended = false; // nothing more will come
        bool clean = false; // the body ended as its framing said it would
    };

    UpstreamCall(const UpstreamClient& upstream, QByteArray requestBody);
    ~UpstreamCall();
    UpstreamCall(const UpstreamCall&) = delete;
    UpstreamCall& operator=(const UpstreamCall&) = delete;

    // The reply's head, once it is there; waits at most `wait`.
    std::optional<Head> head(std::chrono::milliseconds wait);
    // The body bytes that arrived since the last call; waits at most `wait` for some.
    Body take(std::chrono::milliseconds wait);
    // Stops the request at once, whatever it is doing.
    void cancel();

    // The most of an error reply's body that is kept.
    static constexpr qsizetype maxErrorBody = 16 * 1024;

private:
    void run(const UpstreamClient& upstream, QByteArray requestBody);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Head> m_head;
    QByteArray m_pending;
    bool m_ended = false;
    bool m_clean = false;
    bool m_cancelled = false;
    httplib::Client* m_client = nullptr; // the one in flight, for cancel()
    std::thread m_thread;
};

} // namespace notchora::answerd
