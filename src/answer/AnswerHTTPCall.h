#pragma once

#include "answer/AnswerAPIError.h"

#include <QJsonValue>
#include <QObject>
#include <QPointer>
#include <optional>

class QNetworkReply;

namespace notchora {

// What a POST to the answer service came back with: the decoded reply (keys converted from
// snake_case to camelCase) or the error the user reads.
struct AnswerHTTPResult {
    int status = 0;
    QJsonValue json;
    std::optional<AnswerAPIError> error;
    bool ok() const { return !error; }
};

// One POST in flight. Destroying it cancels the transfer; `finished` is emitted once.
class AnswerHTTPCall : public QObject {
    Q_OBJECT
public:
    // Takes ownership of `reply`.
    // Largest reply body kept; a longer one fails the call.
    static constexpr qint64 maxReplyBytes = 1024 * 1024;

    AnswerHTTPCall(QNetworkReply* reply, QObject* parent);
    // A call refused before anything was sent; it finishes with `error` on the next turn of
    // the event loop, like any other call.
    AnswerHTTPCall(const AnswerAPIError& error, QObject* parent);
    ~AnswerHTTPCall() override;

    bool isFinished() const { return m_finished; }
    const AnswerHTTPResult& result() const { return m_result; }

signals:
    void finished();

private:
    void complete();
    void refuseOversizedReply();

    QPointer<QNetworkReply> m_reply;
    AnswerHTTPResult m_result;
    bool m_finished = false;
};

} // namespace notchora
