#include "AuthEndpoints.h"

#include "AnswerService.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <httplib.h>

namespace notchora::answerd {

namespace {

QString param(const httplib::Request& request, const char* name) {
    return QString::fromStdString(request.get_param_value(name));
}

QString stringField(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}

void sendPage(httplib::Response& response, int status, const QString& text) {
    response.status = status;
    const QString html = QStringLiteral("<!doctype html><meta charset=utf-8>"
                                        "<title>notchora-answerd</title><p>%1</p>")
                             .arg(text.toHtmlEscaped());
    response.set_content(html.toStdString(), "text/html; charset=utf-8");
}

} // namespace

void AuthEndpoints::install(httplib::Server& server) {
    server.Get("/oauth/authorize",
               [this](const httplib::Request& request, httplib::Response& response) {
                   authorize(request, response);
               });
    server.Post("/api/oauth/token",
                [this](const httplib::Request& request, httplib::Response& response) {
                    token(request, response);
                });
}

void AuthEndpoints::redirect(httplib::Response& response,
                             const std::vector<std::pair<QString, QString>>& items) {
    // Built by hand so every value is fully percent-encoded, whatever characters it holds.
    QByteArray url = redirectUri.toUtf8();
    char separator = '?';
    for (const auto& [name, value] : items) {
        url += separator + QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
        separator = '&';
    }
    response.set_redirect(url.toStdString(), 302);
}

void AuthEndpoints::authorize(const httplib::Request& request, httplib::Response& response) {
    ++m_service.m_authorizeCalls;
    // Never send the browser to an address the client did not register.
    if (param(request, "client_id") != clientId) {
        sendPage(response, 400, QStringLiteral("Klien tidak dikenal."));
        return;
    }
    if (param(request, "redirect_uri") != redirectUri) {
        sendPage(response, 400, QStringLiteral("redirect_uri tidak terdaftar untuk klien ini."));
        return;
    }

    std::vector<std::pair<QString, QString>> items;
    const bool hasState = request.has_param("state");
    const QString state = param(request, "state");
    const QString challenge = param(request, "code_challenge");
    if (m_service.options().deny) {
        items = {{QStringLiteral("error"), QStringLiteral("access_denied")},
                 {QStringLiteral("error_description"), QStringLiteral("Akses ditolak.")}};
    } else if (param(request, "code_challenge_method") != u"S256" ||
               !TokenStore::isWellFormedVerifier(challenge) || challenge.size() != 43) {
        items = {{QStringLiteral("error"), QStringLiteral("invalid_request")},
                 {QStringLiteral("error_description"),
                  QStringLiteral("PKCE dengan code_challenge_method S256 wajib.")}};
    } else {
        items = {{QStringLiteral("code"),
                  m_service.tokens().issueCode(clientId, redirectUri, challenge)}};
    }
    if (hasState)
        items.emplace_back(QStringLiteral("state"), state);
    redirect(response, items);
}

void AuthEndpoints::refuse(httplib::Response& response, const QString& error,
                           const QString& description) {
    // The OAuth error code at the top level, and the readable text where the client looks
    // for the server's own message.
    AnswerService::sendJson(
        response, 400,
        QJsonObject{{QStringLiteral("error"), error},
                    {QStringLiteral("error_description"), description},
                    {QStringLiteral("detail"),
                     QJsonObject{{QStringLiteral("error"), error},
                                 {QStringLiteral("error_description"), description}}}});
}

void AuthEndpoints::token(const httplib::Request& request, httplib::Response& response) {
    std::optional<QJsonObject> body;
    {
        QJsonParseError error{};
        const QJsonDocument document =
            QJsonDocument::fromJson(QByteArray::fromStdString(request.body), &error);
        if (error.error == QJsonParseError::NoError && document.isObject())
            body = document.object();
    }
    const QString grantType = body ? stringField(*body, "grant_type") : QString();
    const Endpoint endpoint =
        grantType == u"refresh_token" ? Endpoint::TokenRefresh : Endpoint::TokenCode;
    if (m_service.handleInjectedFailure(endpoint, response))
        return;
    if (!body) {
        refuse(response, QStringLiteral("invalid_request"),
               QStringLiteral("Isi permintaan token harus objek JSON."));
        return;
    }
    if (stringField(*body, "client_id") != clientId) {
        refuse(response, QStringLiteral("invalid_client"), QStringLiteral("Klien tidak dikenal."));
        return;
    }

    TokenStore::Grant grant;
    if (grantType == u"authorization_code") {
        grant = m_service.tokens().exchangeCode(stringField(*body, "code"),
                                                stringField(*body, "code_verifier"), clientId,
                                                stringField(*body, "redirect_uri"));
    } else if (grantType == u"refresh_token") {
        grant = m_service.tokens().refresh(stringField(*body, "refresh_token"), clientId);
    } else {
        refuse(response, QStringLiteral("unsupported_grant_type"),
               QStringLiteral("grant_type tidak didukung."));
        return;
    }
    if (!grant.tokens) {
        refuse(response, grant.error, grant.description);
        return;
    }
    response.set_header("Cache-Control", "no-store");
    AnswerService::sendJson(
        response, 200,
        QJsonObject{{QStringLiteral("access_token"), grant.tokens->accessToken},
                    {QStringLiteral("refresh_token"), grant.tokens->refreshToken},
                    {QStringLiteral("expires_in"), grant.tokens->expiresIn},
                    {QStringLiteral("token_type"), QStringLiteral("Bearer")}});
}

} // namespace notchora::answerd
