#pragma once

#include "answer/AnswerAPIError.h"

#include <QString>
#include <QUrl>
#include <variant>

namespace notchora {

// One authorization request of the sign-in: the PKCE verifier, the anti-forgery state, the
// URL the browser opens, and the check of the redirect that comes back.
struct SignInRequest {
    static constexpr auto clientId = "notchora-desktop";
    static constexpr auto redirectURI = "soalika-answer://callback";
    static constexpr auto callbackScheme = "soalika-answer";

    QString verifier;
    QString state;
    QUrl authorizationURL;

    // Fresh verifier and state from the system's secure random source. Fails with the
    // "URL login tidak valid." error when `webBase` cannot carry the authorization path.
    static std::variant<SignInRequest, AnswerAPIError> make(const QUrl& webBase);

    // 32 random bytes, Base64 with the URL-safe alphabet and no padding (43 characters).
    static QString randomURLSafeString();
    // Base64url (no padding) of the SHA-256 of the verifier's UTF-8 bytes.
    static QString challenge(const QString& verifier);

    struct Cancelled {
        bool operator==(const Cancelled&) const = default;
    };
    struct Code {
        QString value;
        bool operator==(const Code&) const = default;
    };
    // A redirect that does not carry this request's state: not ours, whatever it says.
    struct Foreign {
        bool operator==(const Foreign&) const = default;
    };
    // What the redirect URL amounts to: foreign (no or another state), or with our state the
    // code to exchange, a cancellation (the service reported an error such as a denial), or
    // the "state tidak cocok" failure when the code is missing.
    std::variant<Code, Cancelled, AnswerAPIError, Foreign>
    interpretCallback(const QUrl& callback) const;
};

} // namespace notchora
