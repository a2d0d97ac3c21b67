#include "answer/AnswerStream.h"

#include "answer/AnswerAuth.h"
#include "answer/AnswerHTTP.h"

#include <QJsonDocument>
#include <QNetworkReply>

namespace notchora {

AnswerStream::AnswerStream(AnswerHTTP& http, AnswerAuth& auth, QJsonObject body, QObject* parent)
    : QObject(parent), m_http(http), m_auth(auth), m_body(std::move(body)) {}

AnswerStream::~AnswerStream() {
    dropReply();
}

void AnswerStream::start() {
    attempt();
}

void AnswerStream::attempt() {
    m_parser = AnswerEventParser();
    m_errorBody.clear();
    m_status = 0;
    m_auth.validAccessToken(this, [this](const AnswerAuth::TokenResult& token) {
        if (const auto* error = std::get_if<AnswerAPIError>(&token))
            // The token endpoint's 401 gets the same one retry as the stream's own.
            unauthorizedOr(error->isUnauthorized(), *error);
        else
            send(std::get<QString>(token));
    });
}

void AnswerStream::unauthorizedOr(bool unauthorized, const AnswerAPIError& error) {
    if (!unauthorized) {
        fail(error);
    } else if (m_retried) {
        fail(AnswerAPIError::notSignedIn());
    } else {
        m_retried = true;
        m_auth.invalidateAccessToken();
        attempt();
    }
}

void AnswerStream::send(const QString& token) {
    if (auto refused = m_http.refusedBase()) {
        fail(*refused);
        return;
    }
    QNetworkRequest request =
        m_http.request(QStringLiteral("v1/answer/stream"), token, timeoutSeconds);
    request.setRawHeader("Accept", "text/event-stream");
    m_reply = m_http.network().post(request, QJsonDocument(m_body).toJson(QJsonDocument::Compact));
    connect(m_reply, &QNetworkReply::readyRead, this, &AnswerStream::readAvailable);
    connect(m_reply, &QNetworkReply::finished, this, &AnswerStream::replyFinished);
}

void AnswerStream::readAvailable() {
    if (!m_reply || m_finished)
        return;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    m_status = status.toInt();
    if (m_status < 200 || m_status > 299) {
        // Only the start of an error body matters: once it is here the reply is done with,
        // however much more the server would send.
        m_errorBody += m_reply->read(maxErrorBodyBytes - m_errorBody.size());
        if (m_errorBody.size() >= maxErrorBodyBytes)
            statusFailure();
        return;
    }
    handle(m_parser.feed(m_reply->readAll()));
}

void AnswerStream::replyFinished() {
    if (!m_reply || m_finished)
        return;
    QPointer<AnswerStream> self(this);
    readAvailable();
    if (!self || m_finished || !m_reply)
        return;
    QNetworkReply* reply = m_reply;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        AnswerAPIError error = AnswerHTTP::replyFailure(reply->error(), reply->readAll());
        // Something answered, but not in HTTP.
        if (error.kind != AnswerAPIError::Kind::Transport)
            error = AnswerAPIError::make(0, QStringLiteral("Respons server tidak dikenali."));
        fail(error);
        return;
    }
    m_status = status.toInt();
    if (m_status < 200 || m_status > 299) {
        statusFailure();
        return;
    }
    // The body ended (cleanly or not) before "done".
    handle(m_parser.finish());
}

void AnswerStream::statusFailure() {
    std::optional<QString> retryAfter;
    if (m_reply->hasRawHeader("Retry-After"))
        retryAfter = QString::fromLatin1(m_reply->rawHeader("Retry-After"));
    const AnswerAPIError error = AnswerHTTP::mapError(m_status, m_errorBody, retryAfter);
    dropReply();
    unauthorizedOr(m_status == 401, error);
}

// A consumer may delete the stream from any of its signals, so every emit is the last thing
// that touches `this` unless the stream is known to be alive afterwards.
void AnswerStream::handle(const QList<AnswerEventParser::Event>& events) {
    QPointer<AnswerStream> self(this);
    for (const auto& parsed : events) {
        if (!self || m_finished)
            return;
        switch (parsed.type) {
        case AnswerEventParser::Event::Type::Token:
            emit event(StreamEvent{StreamEvent::Kind::Token, parsed.text, {}});
            break;
        case AnswerEventParser::Event::Type::Done:
            m_finished = true;
            dropReply(); // the rest of the body is not needed
            emit event(
                StreamEvent{StreamEvent::Kind::Done, {}, AnswerResult::fromJson(parsed.result)});
            if (self)
                emit finished();
            return;
        case AnswerEventParser::Event::Type::Failure:
            // An unreadable final answer is the same decoding failure as on the one-shot path.
            fail(parsed.reason == AnswerEventParser::Event::Reason::Undecodable
                     ? AnswerHTTP::decodingError(200)
                     : AnswerAPIError::make(parsed.status, parsed.text));
            return;
        }
    }
}

void AnswerStream::fail(const AnswerAPIError& error) {
    if (m_finished)
        return;
    m_finished = true;
    dropReply();
    QPointer<AnswerStream> self(this);
    emit failed(error);
    if (self)
        emit finished();
}

void AnswerStream::dropReply() {
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply.clear();
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

} // namespace notchora
