#include "answer/AnswerHTTPCall.h"

#include "answer/AnswerHTTP.h"

#include <QNetworkReply>

namespace notchora {

AnswerHTTPCall::AnswerHTTPCall(QNetworkReply* reply, QObject* parent)
    : QObject(parent), m_reply(reply) {
    reply->setParent(this);
    connect(reply, &QNetworkReply::finished, this, &AnswerHTTPCall::complete);
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
    if (m_finished)
        return;
    m_result = AnswerHTTP::interpret(m_reply, m_reply->readAll());
    m_finished = true;
    m_reply->deleteLater();
    emit finished();
}

} // namespace notchora
