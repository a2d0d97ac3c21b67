#include "UpstreamClient.h"

#include <httplib.h>

namespace notchora::answerd {

UpstreamClient::UpstreamClient(const QString& endpoint, QByteArray apiKey)
    : m_url(endpoint), m_apiKey(std::move(apiKey)) {
    QString path = m_url.path(QUrl::FullyEncoded);
    while (path.endsWith(u'/'))
        path.chop(1);
    // A base URL gets the usual route; a full one is taken as it is.
    if (!path.endsWith(QStringLiteral("/chat/completions")))
        path += QStringLiteral("/chat/completions");
    m_path = path.toStdString();
}

QString UpstreamClient::displayName() const {
    return m_url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

std::unique_ptr<httplib::Client> UpstreamClient::connect() const {
    const QString origin = m_url.toString(QUrl::RemoveUserInfo | QUrl::RemovePath |
                                          QUrl::RemoveQuery | QUrl::RemoveFragment);
    auto client = std::make_unique<httplib::Client>(origin.toStdString());
    client->set_connection_timeout(10);
    client->set_read_timeout(readTimeoutSeconds);
    client->set_write_timeout(30);
    client->set_keep_alive(false);
    return client;
}

httplib::Request UpstreamClient::chatRequest(const QByteArray& body) const {
    httplib::Request request;
    request.method = "POST";
    request.path = m_path;
    request.body = body.toStdString();
    request.set_header("Content-Type", "application/json");
    request.set_header("Accept", "text/event-stream");
    // Compressed events would wait in the compressor instead of arriving one by one.
    request.set_header("Accept-Encoding", "identity");
    if (!m_apiKey.isEmpty())
        request.set_header("Authorization", "Bearer " + m_apiKey.toStdString());
    return request;
}

} // namespace notchora::answerd
