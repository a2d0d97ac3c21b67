#pragma once

#include <QString>
#include <optional>

namespace notchora {

// The one error the assistant shows: an HTTP status (or 0), the Indonesian sentence the user
// reads, the server's Retry-After in seconds, and whether the user must sign in again.
struct AnswerAPIError {
    // Where the failure came from; the message is what the user sees in every case.
    enum class Kind {
        Service,   // the service answered with an error (or something not HTTP)
        Transport, // no reply: connection refused, time-out, host not found, TLS
        Cancelled, // the call was cancelled
        Decoding,  // a success reply that could not be read
    };

    int status = 0;
    QString message;
    std::optional<int> retryAfter;
    bool needsSignIn = false;
    Kind kind = Kind::Service;

    bool operator==(const AnswerAPIError&) const = default;
    // The service refused the credentials (the request's own 401 or the token endpoint's).
    bool isUnauthorized() const { return status == 401 && kind == Kind::Service; }

    static constexpr auto notSignedInMessage =
        "Belum masuk. Masuk dulu lewat Pengaturan → AI Assistant → Masuk.";
    // 401 "not signed in", with the sign-in prompt.
    static AnswerAPIError notSignedIn();
    static AnswerAPIError make(int status, const QString& message, bool needsSignIn = false);
};

} // namespace notchora
