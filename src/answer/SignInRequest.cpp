#include "answer/SignInRequest.h"

#include "answer/AnswerHTTP.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QUrlQuery>

namespace notchora {

namespace {

QString base64URL(const QByteArray& bytes) {
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

} // namespace

QString SignInRequest::randomURLSafeString() {
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return base64URL(bytes);
}

QString SignInRequest::challenge(const QString& verifier) {
    return base64URL(QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256));
}

std::variant<SignInRequest, AnswerAPIError> SignInRequest::make(const QUrl& webBase) {
    SignInRequest request;
    request.verifier = randomURLSafeString();
    request.state = randomURLSafeString();
    QUrl url = AnswerHTTP::appendingPath(webBase, QStringLiteral("oauth/authorize"));
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return AnswerAPIError::make(400, QStringLiteral("URL login tidak valid."));
    QUrlQuery query;
    query.setQueryItems({
        {QStringLiteral("client_id"), QString::fromLatin1(clientId)},
        {QStringLiteral("redirect_uri"), QString::fromLatin1(redirectURI)},
        {QStringLiteral("state"), request.state},
        {QStringLiteral("code_challenge"), challenge(request.verifier)},
        {QStringLiteral("code_challenge_method"), QStringLiteral("S256")},
    });
    url.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    request.authorizationURL = url;
    return request;
}

std::variant<SignInRequest::Code, SignInRequest::Cancelled, AnswerAPIError, SignInRequest::Foreign>
SignInRequest::interpretCallback(const QUrl& callback) const {
    const QUrlQuery query(callback);
    auto item = [&](const QString& name) -> std::optional<QString> {
        for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded))
            if (key == name)
                return value;
        return std::nullopt;
    };
    // Anyone can open a soalika-answer:// link; only one carrying this attempt's state may end
    // it, with its code or its error.
    const auto returnedState = item(QStringLiteral("state"));
    if (!returnedState || returnedState->isEmpty() || *returnedState != state)
        return Foreign{};
    if (const auto error = item(QStringLiteral("error")); error && !error->isEmpty())
        return Cancelled{};
    const auto code = item(QStringLiteral("code"));
    if (!code || code->isEmpty())
        return AnswerAPIError::make(
            400, QStringLiteral("Respons login tidak valid (state tidak cocok)."));
    return Code{*code};
}

} // namespace notchora
