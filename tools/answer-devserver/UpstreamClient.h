#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <memory>
#include <string>

namespace httplib {
class Client;
struct Request;
} // namespace httplib

namespace notchora::answerd {

// Where the model lives: an OpenAI-compatible service's base URL (".../v1") and its key.
class UpstreamClient {
public:
    UpstreamClient(const QString& endpoint, QByteArray apiKey);

    // The endpoint as the user may read it in messages: no user name, password or query.
    QString displayName() const;
    // A client for one call, its time-outs set.
    std::unique_ptr<httplib::Client> connect() const;
    // The chat-completions request carrying `body`.
    httplib::Request chatRequest(const QByteArray& body) const;

    // The longest a model may think before its first byte.
    static constexpr int readTimeoutSeconds = 300;

private:
    QUrl m_url;
    std::string m_path;
    QByteArray m_apiKey;
};

} // namespace notchora::answerd
