#pragma once

#include "answer/AIModels.h"
#include "answer/AnswerAPIError.h"
#include "answer/AnswerHTTPCall.h"

#include <QJsonObject>
#include <QObject>
#include <functional>
#include <variant>

namespace notchora {

class AnswerAuth;
class AnswerHTTP;
class AnswerStream;

// Client of the three answer endpoints: the streamed answer, the one-shot answer and
// compaction. Holds no state between calls.
class AnswerAPIClient : public QObject {
    Q_OBJECT
public:
    static constexpr int maxHistoryMessages = 40;
    static constexpr qsizetype maxMessageCharacters = 4000;
    static constexpr qsizetype maxSummaryCharacters = 6000;

    AnswerAPIClient(AnswerHTTP& http, AnswerAuth& auth, QObject* parent = nullptr);
    static AnswerAPIClient& shared();

    AnswerHTTP& http() const { return m_http; }
    AnswerAuth& auth() const { return m_auth; }

    // {"essay_style": "singkat", "questions": [question]} plus the context.
    static QJsonObject answerBody(const AnswerQuestion& question, const ChatContext& context);
    // Only "history" and "summary".
    static QJsonObject compactionBody(const ChatContext& context);
    // Adds "history" (the last 40 messages, each cut to 4000 characters) and "summary" (trimmed,
    // cut to 6000 characters) when there is something to send.
    static void addContext(const ChatContext& context, QJsonObject& body);

    // Starts a streamed answer. The stream is a child of `owner`; destroying it cancels the
    // transfer.
    AnswerStream* stream(const AnswerQuestion& question, const ChatContext& context,
                         QObject* owner);

    using AnswerCallback = std::function<void(const std::variant<AnswerResult, AnswerAPIError>&)>;
    using SummaryCallback = std::function<void(const std::variant<QString, AnswerAPIError>&)>;
    using ResultCallback = std::function<void(const AnswerHTTPResult&)>;

    // The one-shot answer: the first element of "answers".
    void answer(const AnswerQuestion& question, const ChatContext& context, QObject* context_,
                AnswerCallback done);
    // The service's summary of `context`.
    void compact(const ChatContext& context, QObject* contextObject, SummaryCallback done);
    // POSTs with a bearer token; after a 401 the token is refreshed and the call made once
    // more. Callbacks are dropped when `contextObject` is destroyed.
    void authorizedPost(const QString& path, const QJsonObject& json, QObject* contextObject,
                        ResultCallback done);

private:
    void postWithToken(const QString& path, const QJsonObject& json, QObject* contextObject,
                       ResultCallback done, bool isRetry);

    AnswerHTTP& m_http;
    AnswerAuth& m_auth;
};

} // namespace notchora
