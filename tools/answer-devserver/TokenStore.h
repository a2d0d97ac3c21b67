#pragma once

#include "RefreshTokenFile.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace notchora::answerd {

// Authorization codes, access tokens and refresh tokens of the running service. Handlers run
// on several server threads, so every operation takes the lock. Expired entries are dropped
// as new ones come in and by purge(), so a flood of sign-in attempts cannot grow it forever.
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

    struct Counts {
        int codes = 0;
        int accessTokens = 0;
        int refreshTokens = 0;
    };

    static constexpr auto defaultCodeLifetime = std::chrono::seconds(600);
    static constexpr auto refreshLifetime = std::chrono::hours(24 * 30);
    // Beyond this many codes waiting at once the oldest go, whatever their age.
    static constexpr size_t maxPendingCodes = 10000;

    // With a `file`, refresh tokens live there (hashed) instead of in memory.
    explicit TokenStore(int accessLifetimeSeconds,
                        std::chrono::milliseconds codeLifetime = defaultCodeLifetime,
                        std::unique_ptr<RefreshTokenFile> file = nullptr);

    // A fresh single-use code bound to the client, redirect URI and PKCE challenge.
    QString issueCode(const QString& clientId, const QString& redirectUri,
                      const QString& challenge);
    Grant exchangeCode(const QString& code, const QString& verifier, const QString& clientId,
                       const QString& redirectUri);
    // Rotates: the given refresh token is used up and a new pair comes back.
    Grant refresh(const QString& refreshToken, const QString& clientId);
    // Whether `token` is an access token this service issued and that has not expired.
    bool isValidAccessToken(const QString& token) const;

    // Drops every expired entry.
    void purge();
    // What is held right now, expired entries not yet purged included.
    Counts counts() const;

    // BASE64URL(SHA256(ASCII(verifier))) without padding.
    static QString challengeFor(const QString& verifier);
    // A verifier made of 43 to 128 unreserved characters.
    static bool isWellFormedVerifier(const QString& verifier);
    static QString randomToken();

private:
    struct PendingCode {
        QString clientId;
        QString redirectUri;
        QString challenge;
        Clock::time_point expires;
    };
    struct RefreshEntry {
        QString clientId;
        Clock::time_point expires;
    };
    // Keys in the order they were issued; every entry of a map has the same lifetime, so the
    // oldest is also the first to expire. Keys already used up are skipped when reached.
    using Order = std::deque<std::pair<Clock::time_point, QString>>;

    Tokens issueLocked(const QString& clientId);
    void purgeLocked(Clock::time_point now);
    static QString hashOf(const QString& refreshToken);

    const int m_lifetime;
    const std::chrono::milliseconds m_codeLifetime;
    const std::unique_ptr<RefreshTokenFile> m_file;
    mutable std::mutex m_mutex;
    std::map<QString, PendingCode> m_codes;
    std::map<QString, Clock::time_point> m_accessTokens;
    std::map<QString, RefreshEntry> m_refreshTokens; // by hash, without a file
    Order m_codeOrder;
    Order m_accessOrder;
    Order m_refreshOrder;
    Clock::time_point m_nextFilePurge;
};

} // namespace notchora::answerd
