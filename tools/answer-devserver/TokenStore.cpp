#include "TokenStore.h"

#include <QCryptographicHash>
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

QString TokenStore::issueCode(const QString& clientId, const QString& redirectUri,
                              const QString& challenge) {
    const QString code = randomToken();
    std::lock_guard lock(m_mutex);
    m_codes[code] = {clientId, redirectUri, challenge, Clock::now() + codeLifetime};
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
    std::lock_guard lock(m_mutex);
    const auto it = m_refreshTokens.find(refreshToken);
    if (it == m_refreshTokens.end())
        return refusal("invalid_grant", QStringLiteral("Refresh token tidak dikenal."));
    if (it->second != clientId)
        return refusal("invalid_grant", QStringLiteral("Refresh token bukan untuk klien ini."));
    m_refreshTokens.erase(it);
    return {issueLocked(clientId), {}, {}};
}

TokenStore::Tokens TokenStore::issueLocked(const QString& clientId) {
    Tokens tokens{randomToken(), randomToken(), m_lifetime};
    m_accessTokens[tokens.accessToken] = Clock::now() + std::chrono::seconds(m_lifetime);
    m_refreshTokens[tokens.refreshToken] = clientId;
    return tokens;
}

bool TokenStore::isValidAccessToken(const QString& token) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_accessTokens.find(token);
    return it != m_accessTokens.end() && Clock::now() < it->second;
}

} // namespace notchora::answerd
