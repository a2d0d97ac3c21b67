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
            fail(*error);
        else
            send(std::get<QString>(token));
    });
}

void AnswerStream::send(const QString& token) {
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
        // Only the start of an error body matters; the rest is left unread.
        const qsizetype room = maxErrorBodyBytes - m_errorBody.size();
        if (room > 0)
            m_errorBody += m_reply->read(room);
        else
            m_reply->skip(m_reply->bytesAvailable());
        return;
    }
    handle(m_parser.feed(m_reply->readAll()));
}

void AnswerStream::replyFinished() {
    if (!m_reply || m_finished)
        return;
    readAvailable();
    if (m_finished)
        return;
    QNetworkReply* reply = m_reply;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        AnswerAPIError error = AnswerHTTP::replyFailure(reply->error(), reply->readAll());
        // Something answered, but not in HTTP.
        if (error.kind != AnswerAPIError::Kind::Transport)
            error = AnswerAPIError::make(0, QStringLiteral("Respons server tidak dikenali."));
        dropReply();
        fail(error);
        return;
    }
    m_status = status.toInt();
    if (m_status < 200 || m_status > 299) {
        std::optional<QString> retryAfter;
        if (reply->hasRawHeader("Retry-After"))
            retryAfter = QString::fromLatin1(reply->rawHeader("Retry-After"));
        const AnswerAPIError error = AnswerHTTP::mapError(m_status, m_errorBody, retryAfter);
        dropReply();
        if (m_status == 401 && !m_retried) {
            m_retried = true;
            m_auth.invalidateAccessToken();
            attempt();
        } else if (m_status == 401) {
            fail(AnswerAPIError::notSignedIn());
        } else {
            fail(error);
        }
        return;
    }
    // The body ended (cleanly or not) before "done".
    handle(m_parser.finish());
}

void AnswerStream::handle(const QList<AnswerEventParser::Event>& events) {
    for (const auto& parsed : events) {
        if (m_finished)
            return;
        switch (parsed.type) {
        case AnswerEventParser::Event::Type::Token:
            emit event(StreamEvent{StreamEvent::Kind::Token, parsed.text, {}});
            break;
        case AnswerEventParser::Event::Type::Done:
            emit event(
                StreamEvent{StreamEvent::Kind::Done, {}, AnswerResult::fromJson(parsed.result)});
            succeed();
            break;
        case AnswerEventParser::Event::Type::Failure:
            // An unreadable final answer is the same decoding failure as on the one-shot path.
            fail(parsed.reason == AnswerEventParser::Event::Reason::Undecodable
                     ? AnswerHTTP::decodingError(200)
                     : AnswerAPIError::make(parsed.status, parsed.text));
            break;
        }
    }
}

void AnswerStream::fail(const AnswerAPIError& error) {
    if (m_finished)
        return;
    m_finished = true;
    dropReply();
    emit failed(error);
    emit finished();
}

void AnswerStream::succeed() {
    m_finished = true;
    dropReply(); // the rest of the body is not needed
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
