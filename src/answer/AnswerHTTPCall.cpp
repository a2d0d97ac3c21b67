#include "answer/AnswerHTTPCall.h"

#include "answer/AnswerHTTP.h"

#include <QNetworkReply>

namespace notchora {

AnswerHTTPCall::AnswerHTTPCall(QNetworkReply* reply, QObject* parent)
    : QObject(parent), m_reply(reply) {
    reply->setParent(this);
    connect(reply, &QNetworkReply::finished, this, &AnswerHTTPCall::complete);
    // Tokens, answers and summaries are a few kilobytes; an endless body is refused.
    connect(reply, &QNetworkReply::readyRead, this, [this] {
        if (m_reply && m_reply->bytesAvailable() > maxReplyBytes)
            refuseOversizedReply();
    });
}

void AnswerHTTPCall::refuseOversizedReply() {
    QNetworkReply* reply = m_reply;
    m_reply.clear();
    reply->disconnect(this);
    // We are inside the reply's own signal: it goes later, and never with this call.
    reply->setParent(nullptr);
    reply->abort();
    reply->deleteLater();
    m_result = {};
    m_result.error = AnswerAPIError::make(0, QStringLiteral("Respons server terlalu besar."));
    m_result.error->kind = AnswerAPIError::Kind::Transport;
    m_finished = true;
    QMetaObject::invokeMethod(this, &AnswerHTTPCall::finished, Qt::QueuedConnection);
}

AnswerHTTPCall::AnswerHTTPCall(const AnswerAPIError& error, QObject* parent) : QObject(parent) {
    m_result.error = error;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_finished = true;
            emit finished();
        },
        Qt::QueuedConnection);
}

AnswerHTTPCall::~AnswerHTTPCall() {
    if (m_reply && !m_reply->isFinished()) {
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->abort();
    }
}

void AnswerHTTPCall::complete() {
    if (m_finished || !m_reply)
        return;
    m_result = AnswerHTTP::interpret(m_reply, m_reply->readAll());
    m_finished = true;
    m_reply->deleteLater();
    emit finished();
}

} // namespace notchora
