#include "AnswerdProcess.h"

#include "TestEnvironment.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QUrlQuery>

namespace notchora::test {

void AnswerdProcess::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
}

bool AnswerdProcess::start(const QStringList& arguments, const QProcessEnvironment& environment) {
    if (!environment.isEmpty())
        m_process.setProcessEnvironment(environment);
    m_process.start(TestEnvironment::binary(QStringLiteral("notchora-answerd")),
                    arguments + QStringList{QStringLiteral("--port"), QStringLiteral("0")});
    if (!m_process.waitForStarted(5000))
        return false;
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(10000))
            return false;
    }
    const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
    const QString prefix = QStringLiteral("listening on ");
    m_base = line.mid(prefix.size());
    return line.startsWith(prefix);
}

AnswerdProcess* AnswerdPool::get(const QStringList& arguments) {
    auto& slot = m_running[arguments.join(QChar(0x1f))];
    if (!slot) {
        slot = std::make_unique<AnswerdProcess>();
        if (!slot->start(arguments))
            slot.reset();
    }
    return slot.get();
}

QJsonObject HttpReply::json() const {
    return QJsonDocument::fromJson(body).object();
}

QList<SseEvent> parseEventStream(const QByteArray& body) {
    QList<SseEvent> events;
    for (const QByteArray& block : body.split('\n')) {
        if (block.startsWith("event:"))
            events.append({QString::fromUtf8(block.mid(6).trimmed()), {}});
        else if (block.startsWith("data:") && !events.isEmpty())
            events.last().data = QJsonDocument::fromJson(block.mid(5).trimmed()).object();
    }
    return events;
}

HttpReply AnswerdClient::finish(QNetworkReply* reply) {
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(20000);
    reply->deleteLater();
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            reply->readAll(),
            reply->error(),
            reply->rawHeader("Location"),
            reply->rawHeader("Retry-After"),
            reply->hasRawHeader("Retry-After"),
            reply->rawHeader("Content-Type")};
}

HttpReply AnswerdClient::get(const QUrl& url) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    return finish(m_network.get(request));
}

HttpReply AnswerdClient::postRaw(const QString& path, const QByteArray& body,
                                 const QByteArray& contentType, const QString& bearer) {
    QNetworkRequest request(m_server.url(path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    request.setRawHeader("Accept", "text/event-stream");
    if (!bearer.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + bearer.toUtf8());
    return finish(m_network.post(request, body));
}

HttpReply AnswerdClient::postJson(const QString& path, const QJsonObject& body,
                                  const QString& bearer) {
    return postRaw(path, QJsonDocument(body).toJson(QJsonDocument::Compact), "application/json",
                   bearer);
}

QUrl AnswerdClient::authorize(const QString& verifier, const QString& state) {
    const QString challenge = QString::fromLatin1(
        QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    QUrl url = m_server.url(QStringLiteral("/oauth/authorize"));
    url.setQuery(QUrlQuery{{"client_id", "notchora-desktop"},
                           {"redirect_uri", "soalika-answer://callback"},
                           {"state", state},
                           {"code_challenge", challenge},
                           {"code_challenge_method", "S256"}});
    return QUrl(QString::fromUtf8(get(url).location));
}

QJsonObject AnswerdClient::signIn() {
    const QString code = QUrlQuery(authorize(verifier, QStringLiteral("s"))).queryItemValue("code");
    return postJson(QStringLiteral("/api/oauth/token"),
                    QJsonObject{{"grant_type", "authorization_code"},
                                {"client_id", "notchora-desktop"},
                                {"code", code},
                                {"code_verifier", verifier},
                                {"redirect_uri", "soalika-answer://callback"}})
        .json();
}

QJsonObject AnswerdClient::answerBody(const QString& text, int historyCount) {
    const QJsonObject question{{"id", "1"},
                               {"type", "essay"},
                               {"text", text},
                               {"options", QJsonArray{}},
                               {"images", QJsonArray{}}};
    QJsonObject body{{"essay_style", "singkat"}, {"questions", QJsonArray{question}}};
    QJsonArray history;
    for (int i = 0; i < historyCount; ++i)
        history.append(QJsonObject{{"role", i % 2 ? "assistant" : "user"},
                                   {"content", QStringLiteral("pesan %1").arg(i)}});
    if (historyCount > 0)
        body.insert("history", history);
    return body;
}

QJsonObject AnswerdClient::compactionBody(int historyCount) {
    QJsonObject body = answerBody(QString(), historyCount);
    body.remove(QStringLiteral("questions"));
    body.remove(QStringLiteral("essay_style"));
    return body;
}

QJsonObject AnswerdClient::refreshBody(const QString& refreshToken) {
    return {{"grant_type", "refresh_token"},
            {"refresh_token", refreshToken},
            {"client_id", "notchora-desktop"}};
}

} // namespace notchora::test
