#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>

namespace notchora::answerd {

// Authorization codes, access tokens and refresh tokens of the running service. Handlers run
// on several server threads, so every operation takes the lock.
class TokenStore {
public:
    using Clock = std::chrono::steady_clock;

    struct Tokens {
        QString accessToken;
        QString refreshToken;
        int expiresIn = 0;
    };

    // Outcome of a token request: tokens, or an OAuth error code with its description.
    struct Grant {
        std::optional<Tokens> tokens;
        QString error;
        QString description;
    };

    explicit TokenStore(int accessLifetimeSeconds) : m_lifetime(accessLifetimeSeconds) {}

    // A fresh single-use code bound to the client, redirect URI and PKCE challenge.
    QString issueCode(const QString& clientId, const QString& redirectUri,
                      const QString& challenge);
    Grant exchangeCode(const QString& code, const QString& verifier, const QString& clientId,
                       const QString& redirectUri);
    // Rotates: the given refresh token is used up and a new pair comes back.
    Grant refresh(const QString& refreshToken, const QString& clientId);
    // Whether `token` is an access token this service issued and that has not expired.
    bool isValidAccessToken(const QString& token) const;

    // BASE64URL(SHA256(ASCII(verifier))) without padding.
    static QString challengeFor(const QString& verifier);
    // A verifier made of 43 to 128 unreserved characters.
    static bool isWellFormedVerifier(const QString& verifier);
    static QString randomToken();

    static constexpr auto codeLifetime = std::chrono::minutes(10);

private:
    struct PendingCode {
        QString clientId;
        QString redirectUri;
        QString challenge;
        Clock::time_point expires;
    };
    Tokens issueLocked(const QString& clientId);

    const int m_lifetime;
    mutable std::mutex m_mutex;
    std::map<QString, PendingCode> m_codes;
    std::map<QString, Clock::time_point> m_accessTokens;
    std::map<QString, QString> m_refreshTokens; // token -> client id
};

} // namespace notchora::answerd
