#pragma once

#include "answer/AnswerAPIError.h"
#include "answer/AnswerHTTPCall.h"

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QUrl>
#include <functional>
#include <optional>

namespace notchora {

class Defaults;

// The transport every call to the answer service goes through: JSON POSTs against
// <base>/api/<path> on one network manager, replies decoded with snake_case keys turned into
// camelCase, and every failure turned into an AnswerAPIError with the sentence the user
// reads.
class AnswerHTTP : public QObject {
    Q_OBJECT
public:
    static constexpr int requestTimeoutSeconds = 120;

    explicit AnswerHTTP(Defaults& defaults, QObject* parent = nullptr);
    ~AnswerHTTP() override;

    static AnswerHTTP& shared();

    QNetworkAccessManager& network() { return m_network; }

    // The service base: the configured base URL; production when it does not parse as a URL
    // at all; empty when it parses but is no http(s) address with a host (refused).
    QUrl webBase() const;
    static QUrl webBase(const QString& baseURL);
    // The error every call ends with while the configured base is refused.
    std::optional<AnswerAPIError> refusedBase() const;
    // `base` with each segment of `path` appended.
    static QUrl appendingPath(const QUrl& base, const QString& path);
    // <base>/api/<path>
    QUrl serviceURL(const QString& path) const;

    // A JSON POST request with the service's headers; "Authorization" only with a token.
    QNetworkRequest request(const QString& path, const std::optional<QString>& bearer,
                            int timeoutSeconds = requestTimeoutSeconds) const;

    // Posts `json` compactly. The call is a child of `owner`; destroying either cancels it.
    AnswerHTTPCall* post(const QString& path, const QJsonObject& json,
                         const std::optional<QString>& bearer, QObject* owner);
    // The same with a callback, which is dropped (and the call cancelled) when `context` is
    // gone. The callback runs on the transport's thread.
    void post(const QString& path, const QJsonObject& json, const std::optional<QString>& bearer,
              QObject* context, std::function<void(const AnswerHTTPResult&)> done);

    // What a finished reply amounts to.
    static AnswerHTTPResult interpret(QNetworkReply* reply, const QByteArray& body);
    // The error of a reply without an HTTP status: a transport failure, or a reply that was
    // not HTTP at all (status 0).
    static AnswerAPIError replyFailure(QNetworkReply::NetworkError error, const QByteArray& body);
    static AnswerAPIError decodingError(int status);

    static AnswerAPIError mapError(int status, const QByteArray& data,
                                   const std::optional<QString>& retryAfter);
    // The server's own text in a JSON error body.
    static std::optional<QString> detailMessage(const QByteArray& data);
    // Whole seconds, with an optional sign; anything else (a date, too) is none.
    static std::optional<int> parseRetryAfter(const std::optional<QString>& text);

    // access_token -> accessToken, recursively through objects and arrays.
    static QString camelCaseKey(const QString& key);
    static QJsonValue convertFromSnakeCase(const QJsonValue& value);

private:
    Defaults& m_defaults;
    QNetworkAccessManager m_network;
};

} // namespace notchora
