#pragma once

#include "AnswerComposer.h"
#include "ChatRequestBuilder.h"
#include "UpstreamCall.h"
#include "UpstreamClient.h"

#include <QJsonArray>
#include <memory>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

namespace notchora::answerd {

class ClientConnection;

// Answers the three answer endpoints through the model: builds the chat request, relays
// the model's words as they come and maps its failures onto the service's replies.
class ModelAnswerer {
public:
    ModelAnswerer(const QString& endpoint, const QString& model, QByteArray apiKey);

    void stream(const AnswerComposer::Question& question, const httplib::Request& request,
                httplib::Response& response);
    void oneShot(const AnswerComposer::Question& question, const httplib::Request& request,
                 httplib::Response& response);
    void compact(const QJsonArray& history, const QString& previousSummary,
                 const httplib::Request& request, httplib::Response& response);

    // How long a wait for the model lasts before the client's socket is looked at again.
    static constexpr std::chrono::milliseconds pollInterval{50};

private:
    // Sends the request and waits for the model's reply to begin. Returns nothing when the
    // model failed (the mapped reply is written) or the client went away.
    std::shared_ptr<UpstreamCall> open(const QJsonObject& body, const ClientConnection& client,
                                       httplib::Response& response) const;
    // The model's whole reply text; nothing when it broke off (the reply is written).
    std::optional<QString> collect(UpstreamCall& call, const ClientConnection& client,
                                   httplib::Response& response) const;
    void sendFailure(httplib::Response& response, const UpstreamCall::Head& head) const;

    UpstreamClient m_upstream;
    ChatRequestBuilder m_builder;
};

} // namespace notchora::answerd
