#include "answer/AnswerAPIClient.h"

#include "answer/AnswerAuth.h"
#include "answer/AnswerEventParser.h"
#include "answer/AnswerHTTP.h"
#include "answer/AnswerStream.h"
#include "answer/TextLimits.h"

#include <QJsonArray>

namespace notchora {

AnswerAPIClient::AnswerAPIClient(AnswerHTTP& http, AnswerAuth& auth, QObject* parent)
    : QObject(parent), m_http(http), m_auth(auth) {}

AnswerAPIClient& AnswerAPIClient::shared() {
    static AnswerAPIClient client(AnswerHTTP::shared(), AnswerAuth::shared());
    return client;
}

void AnswerAPIClient::addContext(const ChatContext& context, QJsonObject& body) {
    if (!context.messages.isEmpty()) {
        QJsonArray history;
        const qsizetype first =
            std::max<qsizetype>(0, context.messages.size() - maxHistoryMessages);
        for (qsizetype i = first; i < context.messages.size(); ++i) {
            const auto& message = context.messages[i];
            history.append(QJsonObject{
                {QStringLiteral("role"), message.role},
                {QStringLiteral("content"),
                 TextLimits::prefix(message.content, maxMessageCharacters)},
            });
        }
        body.insert(QStringLiteral("history"), history);
    }
    if (context.summary) {
        const QString summary = TextLimits::trimmed(*context.summary);
        if (!summary.isEmpty())
            body.insert(QStringLiteral("summary"),
                        TextLimits::prefix(summary, maxSummaryCharacters));
    }
}

QJsonObject AnswerAPIClient::answerBody(const AnswerQuestion& question,
                                        const ChatContext& context) {
    QJsonObject body{
        {QStringLiteral("essay_style"), QStringLiteral("singkat")},
        {QStringLiteral("questions"), QJsonArray{question.toJson()}},
    };
    addContext(context, body);
    return body;
}

QJsonObject AnswerAPIClient::compactionBody(const ChatContext& context) {
    QJsonObject body;
    addContext(context, body);
    return body;
}

AnswerStream* AnswerAPIClient::stream(const AnswerQuestion& question, const ChatContext& context,
                                      QObject* owner) {
    auto* stream = new AnswerStream(m_http, m_auth, answerBody(question, context), owner);
    stream->start();
    return stream;
}

void AnswerAPIClient::authorizedPost(const QString& path, const QJsonObject& json,
                                     QObject* contextObject, ResultCallback done) {
    postWithToken(path, json, contextObject, std::move(done), false);
}

void AnswerAPIClient::postWithToken(const QString& path, const QJsonObject& json,
                                    QObject* contextObject, ResultCallback done, bool isRetry) {
    m_auth.validAccessToken(contextObject, [=, this](const AnswerAuth::TokenResult& token) {
        if (const auto* error = std::get_if<AnswerAPIError>(&token)) {
            // A 401 from the token endpoint gets the same one retry as the request's own.
            if (!error->isUnauthorized()) {
                done(AnswerHTTPResult{error->status, {}, *error});
            } else if (isRetry) {
                done(AnswerHTTPResult{401, {}, AnswerAPIError::notSignedIn()});
            } else {
                m_auth.invalidateAccessToken();
                postWithToken(path, json, contextObject, done, true);
            }
            return;
        }
        m_http.post(path, json, std::get<QString>(token), contextObject,
                    [=, this](const AnswerHTTPResult& result) {
                        const bool unauthorized = result.error && result.error->isUnauthorized();
                        if (!unauthorized) {
                            done(result);
                        } else if (isRetry) {
                            done(AnswerHTTPResult{401, {}, AnswerAPIError::notSignedIn()});
                        } else {
                            m_auth.invalidateAccessToken();
                            postWithToken(path, json, contextObject, done, true);
                        }
                    });
    });
}

void AnswerAPIClient::answer(const AnswerQuestion& question, const ChatContext& context,
                             QObject* contextObject, AnswerCallback done) {
    authorizedPost(QStringLiteral("v1/answer"), answerBody(question, context), contextObject,
                   [done](const AnswerHTTPResult& result) {
                       if (result.error) {
                           done(*result.error);
                           return;
                       }
                       const QJsonValue answers =
                           result.json.toObject().value(QLatin1String("answers"));
                       if (!answers.isArray()) {
                           done(AnswerHTTP::decodingError(result.status));
                           return;
                       }
                       const QJsonArray list = answers.toArray();
                       if (list.isEmpty()) {
                           done(AnswerAPIError::make(200, AnswerEventParser::noAnswersMessage));
                           return;
                       }
                       done(AnswerResult::fromJson(list.first().toObject()));
                   });
}

void AnswerAPIClient::compact(const ChatContext& context, QObject* contextObject,
                              SummaryCallback done) {
    authorizedPost(QStringLiteral("v1/answer/compact"), compactionBody(context), contextObject,
                   [done](const AnswerHTTPResult& result) {
                       if (result.error) {
                           done(*result.error);
                           return;
                       }
                       const QJsonValue summary =
                           result.json.toObject().value(QLatin1String("summary"));
                       if (!summary.isString())
                           done(AnswerHTTP::decodingError(result.status));
                       else
                           done(summary.toString());
                   });
}

} // namespace notchora
