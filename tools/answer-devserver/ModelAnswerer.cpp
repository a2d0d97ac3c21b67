#include "ModelAnswerer.h"

#include "AnswerEndpoints.h"
#include "AnswerService.h"
#include "ClientConnection.h"
#include "ModelReply.h"
#include "StreamTranslator.h"

#include <QJsonDocument>
#include <httplib.h>

namespace notchora::answerd {

namespace {

const QString brokenText = QStringLiteral("Sambungan ke model terputus sebelum jawaban selesai.");

QString failureText(const StreamTranslator& translator) {
    return translator.error().isEmpty()
               ? QStringLiteral("Model melaporkan kesalahan.")
               : QStringLiteral("Model melaporkan kesalahan: %1").arg(translator.error());
}

} // namespace

ModelAnswerer::ModelAnswerer(const QString& endpoint, const QString& model, QByteArray apiKey)
    : m_upstream(endpoint, std::move(apiKey)), m_builder(model) {}

void ModelAnswerer::sendFailure(httplib::Response& response, const UpstreamCall::Head& head) const {
    const QString where = m_upstream.displayName();
    if (!head.reached) {
        qWarning("notchora-answerd: the model at %s cannot be reached", qPrintable(where));
        AnswerService::sendDetail(response, 503,
                                  QStringLiteral("Model di %1 tidak dapat dihubungi.").arg(where));
        return;
    }
    qWarning("notchora-answerd: the model at %s answered %d", qPrintable(where), head.status);
    if (head.status == 429) {
        if (!head.retryAfter.empty())
            response.set_header("Retry-After", head.retryAfter);
        AnswerService::sendDetail(response, 429,
                                  QStringLiteral("Model sedang sibuk. Coba lagi nanti."));
    } else if (head.status == 401 || head.status == 403) {
        AnswerService::sendDetail(response, 502,
                                  QStringLiteral("Kunci API model ditolak oleh %1.").arg(where));
    } else if (head.status >= 500) {
        AnswerService::sendDetail(response, 503,
                                  QStringLiteral("Model di %1 sedang bermasalah (status %2).")
                                      .arg(where)
                                      .arg(head.status));
    } else {
        AnswerService::sendDetail(response, 502,
                                  QStringLiteral("Model di %1 menolak permintaan (status %2).")
                                      .arg(where)
                                      .arg(head.status));
    }
}

std::shared_ptr<UpstreamCall> ModelAnswerer::open(const QJsonObject& body,
                                                  const ClientConnection& client,
                                                  httplib::Response& response) const {
    auto call = std::make_shared<UpstreamCall>(m_upstream,
                                               QJsonDocument(body).toJson(QJsonDocument::Compact));
    std::optional<UpstreamCall::Head> head;
    while (!(head = call->head(pollInterval))) {
        // Nobody would read the answer: dropping the call cancels the request.
        if (client.isGone())
            return nullptr;
    }
    if (head->reached && head->status >= 200 && head->status < 300)
        return call;
    sendFailure(response, *head);
    return nullptr;
}

std::optional<QString> ModelAnswerer::collect(UpstreamCall& call, const ClientConnection& client,
                                              httplib::Response& response) const {
    StreamTranslator translator;
    for (;;) {
        const UpstreamCall::Body body = call.take(pollInterval);
        translator.feed(body.bytes);
        if (translator.failed()) {
            AnswerService::sendDetail(response, 502, failureText(translator));
            return std::nullopt;
        }
        if (translator.finished() || (body.ended && body.clean))
            return translator.text();
        if (body.ended) {
            AnswerService::sendDetail(response, 502, brokenText);
            return std::nullopt;
        }
        if (client.isGone())
            return std::nullopt;
    }
}

void ModelAnswerer::stream(const AnswerComposer::Question& question,
                           const httplib::Request& request, httplib::Response& response) {
    auto client = std::make_shared<ClientConnection>(request);
    const std::shared_ptr<UpstreamCall> call =
        open(m_builder.answerRequest(question), *client, response);
    if (!call)
        return;
    auto translator = std::make_shared<StreamTranslator>();
    const bool json = ChatRequestBuilder::wantsJson(question);
    const auto send = [](httplib::DataSink& sink, const std::string& text) {
        return sink.write(text.data(), text.size());
    };
    response.set_header("Cache-Control", "no-cache");
    response.set_chunked_content_provider("text/event-stream", [call, client, translator, json,
                                                                send, opened = false](
                                                                   size_t, httplib::DataSink&
                                                                               sink) mutable {
        if (!opened) {
            opened = true;
            return send(sink, ": notchora-answerd\n\n");
        }
        const UpstreamCall::Body body = call->take(pollInterval);
        const QStringList deltas = translator->feed(body.bytes);
        // While nothing is written a client that left goes unnoticed: ask its socket.
        if (deltas.isEmpty() && client->isGone())
            return false;
        // Each delta its own event, but whatever arrived together leaves in one write.
        std::string events;
        for (const QString& delta : deltas)
            events += AnswerEndpoints::event("token", QJsonObject{{QStringLiteral("text"), delta}});
        if (!events.empty() && !send(sink, events))
            return false;
        std::string last;
        if (translator->failed()) {
            last = AnswerEndpoints::event(
                "error", QJsonObject{{QStringLiteral("detail"), failureText(*translator)}});
        } else if (translator->finished() || (body.ended && body.clean)) {
            const QJsonObject result = ModelReply::result(translator->text(), json);
            last = AnswerEndpoints::event(
                "done", QJsonObject{{QStringLiteral("answers"), QJsonArray{result}}});
        } else if (body.ended) {
            last = AnswerEndpoints::event("error",
                                          QJsonObject{{QStringLiteral("detail"), brokenText}});
        } else {
            return true;
        }
        // Whatever the model still sends after its end is not wanted.
        call->cancel();
        if (!send(sink, last))
            return false;
        sink.done();
        return true;
    });
}

void ModelAnswerer::oneShot(const AnswerComposer::Question& question,
                            const httplib::Request& request, httplib::Response& response) {
    const ClientConnection client(request);
    const std::shared_ptr<UpstreamCall> call =
        open(m_builder.answerRequest(question), client, response);
    if (!call)
        return;
    const std::optional<QString> text = collect(*call, client, response);
    if (!text)
        return;
    const QJsonObject result = ModelReply::result(*text, ChatRequestBuilder::wantsJson(question));
    AnswerService::sendJson(response, 200,
                            QJsonObject{{QStringLiteral("answers"), QJsonArray{result}}});
}

void ModelAnswerer::compact(const QJsonArray& history, const QString& previousSummary,
                            const httplib::Request& request, httplib::Response& response) {
    const ClientConnection client(request);
    const std::shared_ptr<UpstreamCall> call =
        open(m_builder.compactRequest(history, previousSummary), client, response);
    if (!call)
        return;
    const std::optional<QString> text = collect(*call, client, response);
    if (!text)
        return;
    // The client sends the summary back with later questions, within its own limit.
    AnswerService::sendJson(
        response, 200,
        QJsonObject{{QStringLiteral("summary"),
                     AnswerComposer::clip(text->trimmed(), AnswerComposer::maxSummaryLength)}});
}

} // namespace notchora::answerd
