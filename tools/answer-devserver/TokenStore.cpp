#include "TokenStore.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QRandomGenerator>

namespace notchora::answerd {

namespace {

QString base64Url(const QByteArray& bytes) {
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

TokenStore::Grant refusal(const char* error, const QString& description) {
    return {std::nullopt, QString::fromLatin1(error), description};
}

} // namespace

QString TokenStore::randomToken() {
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          bytes.size() / sizeof(quint32));
    return base64Url(bytes);
}

QString TokenStore::challengeFor(const QString& verifier) {
    return base64Url(QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256));
}

bool TokenStore::isWellFormedVerifier(const QString& verifier) {
    if (verifier.size() < 43 || verifier.size() > 128)
        return false;
    return std::all_of(verifier.begin(), verifier.end(), [](QChar c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
               c == u'-' || c == u'.' || c == u'_' || c == u'~';
    });
}

TokenStore::TokenStore(int accessLifetimeSeconds, std::chrono::milliseconds codeLifetime,
                       std::unique_ptr<RefreshTokenFile> file)
    : m_lifetime(accessLifetimeSeconds), m_codeLifetime(codeLifetime), m_file(std::move(file)) {}

QString TokenStore::hashOf(const QString& refreshToken) {
    return QString::fromLatin1(
        QCryptographicHash::hash(refreshToken.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString TokenStore::issueCode(const QString& clientId, const QString& redirectUri,
                              const QString& challenge) {
    const QString code = randomToken();
    const auto now = Clock::now();
    std::lock_guard lock(m_mutex);
    purgeLocked(now);
    while (m_codeOrder.size() >= maxPendingCodes) {
        m_codes.erase(m_codeOrder.front().second);
        m_codeOrder.pop_front();
    }
    const auto expires = now + m_codeLifetime;
    m_codes[code] = {clientId, redirectUri, challenge, expires};
    m_codeOrder.emplace_back(expires, code);
    return code;
}

TokenStore::Grant TokenStore::exchangeCode(const QString& code, const QString& verifier,
                                           const QString& clientId, const QString& redirectUri) {
    std::lock_guard lock(m_mutex);
    const auto it = m_codes.find(code);
    if (it == m_codes.end())
        return refusal("invalid_grant", QStringLiteral("Kode otorisasi tidak dikenal."));
    // A code is good for one attempt only, right or wrong, so it cannot be guessed at.
    const PendingCode pending = it->second;
    m_codes.erase(it);
    if (Clock::now() >= pending.expires)
        return refusal("invalid_grant", QStringLiteral("Kode otorisasi sudah kedaluwarsa."));
    if (clientId != pending.clientId)
        return refusal("invalid_grant", QStringLiteral("Kode ini bukan untuk klien tersebut."));
    if (redirectUri != pending.redirectUri)
        return refusal("invalid_grant", QStringLiteral("redirect_uri tidak cocok."));
    if (!isWellFormedVerifier(verifier) || challengeFor(verifier) != pending.challenge)
        return refusal("invalid_grant", QStringLiteral("code_verifier tidak cocok."));
    return {issueLocked(clientId), {}, {}};
}

TokenStore::Grant TokenStore::refresh(const QString& refreshToken, const QString& clientId) {
    const QString hash = hashOf(refreshToken);
    std::lock_guard lock(m_mutex);
    purgeLocked(Clock::now());
    // Taken out whatever the outcome: a refresh token is good for one attempt.
    std::optional<QString> owner;
    if (m_file) {
        owner = m_file->take(hash, QDateTime::currentSecsSinceEpoch());
    } else if (const auto it = m_refreshTokens.find(hash); it != m_refreshTokens.end()) {
        owner = it->second.clientId;
        m_refreshTokens.erase(it);
    }
    if (!owner)
        return refusal("invalid_grant", QStringLiteral("Refresh token tidak dikenal."));
    if (*owner != clientId)
        return refusal("invalid_grant", QStringLiteral("Refresh token bukan untuk klien ini."));
    return {issueLocked(clientId), {}, {}};
}

TokenStore::Tokens TokenStore::issueLocked(const QString& clientId) {
    Tokens tokens{randomToken(), randomToken(), m_lifetime};
    const auto now = Clock::now();
    const auto accessExpires = now + std::chrono::seconds(m_lifetime);
    m_accessTokens[tokens.accessToken] = accessExpires;
    m_accessOrder.emplace_back(accessExpires, tokens.accessToken);
    const QString hash = hashOf(tokens.refreshToken);
    if (m_file) {
        const qint64 lifetime =
            std::chrono::duration_cast<std::chrono::seconds>(refreshLifetime).count();
        m_file->put(hash, clientId, QDateTime::currentSecsSinceEpoch() + lifetime);
    } else {
        m_refreshTokens[hash] = {clientId, now + refreshLifetime};
        m_refreshOrder.emplace_back(now + refreshLifetime, hash);
    }
    return tokens;
}

namespace {

// Pops the expired keys off the front of `order` and drops those still in `map`.
template <typename Map, typename Expiry>
void dropExpired(std::deque<std::pair<std::chrono::steady_clock::time_point, QString>>& order,
                 Map& map, std::chrono::steady_clock::time_point now, Expiry expiryOf) {
    while (!order.empty() && order.front().first <= now) {
        const auto it = map.find(order.front().second);
        // A key used up early may come back only as a different entry; leave that alone.
        if (it != map.end() && expiryOf(it->second) == order.front().first)
            map.erase(it);
        order.pop_front();
    }
}

} // namespace

void TokenStore::purgeLocked(Clock::time_point now) {
    dropExpired(m_codeOrder, m_codes, now, [](const PendingCode& code) { return code.expires; });
    dropExpired(m_accessOrder, m_accessTokens, now, [](Clock::time_point at) { return at; });
    dropExpired(m_refreshOrder, m_refreshTokens, now,
                [](const RefreshEntry& entry) { return entry.expires; });
    // The file is shared with no one but still worth a query only now and then.
    if (m_file && now >= m_nextFilePurge) {
        m_file->purge(QDateTime::currentSecsSinceEpoch());
        m_nextFilePurge = now + std::chrono::seconds(60);
    }
}

void TokenStore::purge() {
    std::lock_guard lock(m_mutex);
    purgeLocked(Clock::now());
}

TokenStore::Counts TokenStore::counts() const {
    std::lock_guard lock(m_mutex);
    return {int(m_codes.size()), int(m_accessTokens.size()),
            m_file ? m_file->count() : int(m_refreshTokens.size())};
}

bool TokenStore::isValidAccessToken(const QString& token) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_accessTokens.find(token);
    return it != m_accessTokens.end() && Clock::now() < it->second;
}

} // namespace notchora::answerd
