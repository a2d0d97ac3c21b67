#include "AnswerEndpoints.h"

#include "AnswerService.h"
#include "ModelAnswerer.h"

#include <QJsonDocument>
#include <httplib.h>
#include <memory>
#include <thread>

namespace notchora::answerd {

namespace {

using Kind = FailureRule::Kind;

void sendProblems(httplib::Response& response, const QJsonArray& problems) {
    AnswerService::sendJson(response, 422, QJsonObject{{QStringLiteral("detail"), problems}});
}

} // namespace

void AnswerEndpoints::install(httplib::Server& server) {
    server.Post("/api/v1/answer/stream",
                [this](const httplib::Request& request, httplib::Response& response) {
                    stream(request, response);
                });
    server.Post("/api/v1/answer",
                [this](const httplib::Request& request, httplib::Response& response) {
                    oneShot(request, response);
                });
    server.Post("/api/v1/answer/compact",
                [this](const httplib::Request& request, httplib::Response& response) {
                    compact(request, response);
                });
}

bool AnswerEndpoints::admit(Endpoint endpoint, const httplib::Request& request,
                            httplib::Response& response) {
    return !m_service.handleInjectedFailure(endpoint, response) &&
           m_service.checkBearer(request, response);
}

std::string AnswerEndpoints::event(const char* name, const QJsonObject& data) {
    return "event: " + std::string(name) +
           "\ndata: " + QJsonDocument(data).toJson(QJsonDocument::Compact).toStdString() + "\n\n";
}

AnswerEndpoints::StreamPlan
AnswerEndpoints::planStream(const AnswerComposer::Question& question) const {
    const ServerOptions& options = m_service.options();
    StreamPlan plan;
    // A comment first, as services send to keep proxies from buffering.
    plan.events.push_back(": notchora-answerd\n\n");
    const QStringList tokens = AnswerComposer::tokens(AnswerComposer::answerText(question));
    const qsizetype half = std::max<qsizetype>(1, tokens.size() / 2);
    const bool cutShort = options.hasFailure(Kind::ErrorEvent) ||
                          options.hasFailure(Kind::ErrorEventBare) ||
                          options.hasFailure(Kind::EndEarly) || options.hasFailure(Kind::Drop);
    const qsizetype sent = cutShort ? std::min(half, tokens.size()) : tokens.size();
    for (qsizetype i = 0; i < sent; ++i)
        plan.events.push_back(event("token", QJsonObject{{QStringLiteral("text"), tokens[i]}}));

    if (options.hasFailure(Kind::Slow))
        plan.delayMs = options.tokenDelayMs;
    if (options.hasFailure(Kind::ErrorEvent)) {
        plan.events.push_back(event(
            "error",
            QJsonObject{{QStringLiteral("detail"), QStringLiteral("Model kehabisan waktu.")}}));
    } else if (options.hasFailure(Kind::ErrorEventBare)) {
        plan.events.push_back(event("error", QJsonObject{}));
    } else if (options.hasFailure(Kind::Drop)) {
        plan.dropBefore = int(plan.events.size());
    } else if (!options.hasFailure(Kind::EndEarly)) {
        const QJsonArray answers = options.hasFailure(Kind::Empty)
                                       ? QJsonArray{}
                                       : QJsonArray{AnswerComposer::result(question)};
        plan.events.push_back(event("done", QJsonObject{{QStringLiteral("answers"), answers}}));
    }
    return plan;
}

std::optional<AnswerComposer::Question>
AnswerEndpoints::admitQuestion(Endpoint endpoint, const httplib::Request& request,
                               httplib::Response& response) {
    if (!admit(endpoint, request, response))
        return std::nullopt;
    const auto body = AnswerService::readJsonObject(request, response);
    if (!body)
        return std::nullopt;
    AnswerComposer::Question question;
    if (const QJsonArray problems = AnswerComposer::checkAnswerBody(*body, question);
        !problems.isEmpty()) {
        sendProblems(response, problems);
        return std::nullopt;
    }
    return question;
}

void AnswerEndpoints::stream(const httplib::Request& request, httplib::Response& response) {
    const auto question = admitQuestion(Endpoint::Stream, request, response);
    if (!question)
        return;
    if (ModelAnswerer* model = m_service.model()) {
        model->stream(*question, request, response);
        return;
    }

    auto plan = std::make_shared<StreamPlan>(planStream(*question));
    response.set_header("Cache-Control", "no-cache");
    // Writes the next event; false once the plan says to cut the connection.
    auto writeNext = [plan, next = 0](httplib::DataSink& sink) mutable {
        if (next > 0 && plan->delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(plan->delayMs));
        if (next == plan->dropBefore)
            return false;
        if (next == int(plan->events.size())) {
            sink.done();
            return true;
        }
        const std::string& event = plan->events[size_t(next++)];
        return sink.write(event.data(), event.size());
    };
    if (plan->dropBefore < 0) {
        response.set_chunked_content_provider(
            "text/event-stream",
            [writeNext](size_t, httplib::DataSink& sink) mutable { return writeNext(sink); });
        return;
    }
    // A cut chunked body can look like a clean end to a client; a Content-Length that is
    // never reached cannot.
    size_t promised = 1024;
    for (const std::string& event : plan->events)
        promised += event.size();
    response.set_content_provider(
        promised, "text/event-stream",
        [writeNext](size_t, size_t, httplib::DataSink& sink) mutable { return writeNext(sink); });
}

void AnswerEndpoints::oneShot(const httplib::Request& request, httplib::Response& response) {
    const auto question = admitQuestion(Endpoint::OneShot, request, response);
    if (!question)
        return;
    if (ModelAnswerer* model = m_service.model()) {
        model->oneShot(*question, request, response);
        return;
    }
    const QJsonArray answers = m_service.options().hasFailure(Kind::Empty)
                                   ? QJsonArray{}
                                   : QJsonArray{AnswerComposer::result(*question)};
    AnswerService::sendJson(response, 200, QJsonObject{{QStringLiteral("answers"), answers}});
}

void AnswerEndpoints::compact(const httplib::Request& request, httplib::Response& response) {
    if (!admit(Endpoint::Compact, request, response))
        return;
    const auto body = AnswerService::readJsonObject(request, response);
    if (!body)
        return;
    int count = 0;
    QString previous;
    if (const QJsonArray problems = AnswerComposer::checkCompactBody(*body, count, previous);
        !problems.isEmpty()) {
        sendProblems(response, problems);
        return;
    }
    if (ModelAnswerer* model = m_service.model()) {
        model->compact(body->value(QStringLiteral("history")).toArray(), previous, request,
                       response);
        return;
    }
    AnswerService::sendJson(
        response, 200,
        QJsonObject{{QStringLiteral("summary"), AnswerComposer::summary(count, previous)}});
}

} // namespace notchora::answerd
