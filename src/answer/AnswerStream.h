#pragma once

#include "answer/AIModels.h"
#include "answer/AnswerAPIError.h"
#include "answer/AnswerEventParser.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>

class QNetworkReply;

namespace notchora {

class AnswerAuth;
class AnswerHTTP;

// What a streamed answer yields: pieces of text while the model writes, then the final
// answer.
struct StreamEvent {
    enum class Kind { Token, Done };
    Kind kind = Kind::Token;
    QString text;
    AnswerResult result;
    bool operator==(const StreamEvent&) const = default;
};

// One streamed answer from "v1/answer/stream". Events arrive in order on the GUI thread;
// the stream ends with exactly one `done` event or one `failed`. Destroying it cancels the
// transfer. After a 401 (from the stream or the token endpoint) the access token is
// refreshed and the request sent once more. The consumer may delete the stream from inside
// any of its signals.
class AnswerStream : public QObject {
    Q_OBJECT
public:
    static constexpr int timeoutSeconds = 150;
    static constexpr qsizetype maxErrorBodyBytes = 16 * 1024;

    AnswerStream(AnswerHTTP& http, AnswerAuth& auth, QJsonObject body, QObject* parent);
    ~AnswerStream() override;

    void start();
    bool isFinished() const { return m_finished; }

signals:
    void event(const StreamEvent& event);
    void failed(const AnswerAPIError& error);
    // After the last event or the failure.
    void finished();

private:
    void attempt();
    void send(const QString& token);
    void readAvailable();
    void replyFinished();
    void statusFailure();
    void unauthorizedOr(bool unauthorized, const AnswerAPIError& error);
    void handle(const QList<AnswerEventParser::Event>& events);
    void fail(const AnswerAPIError& error);
    void dropReply();

    AnswerHTTP& m_http;
    AnswerAuth& m_auth;
    QJsonObject m_body;
    QPointer<QNetworkReply> m_reply;
    AnswerEventParser m_parser;
    QByteArray m_errorBody;
    int m_status = 0;
    bool m_retried = false;
    bool m_finished = false;
};

} // namespace notchora
