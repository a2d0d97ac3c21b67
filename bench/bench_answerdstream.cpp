// How much notchora-answerd adds between a model and the program: a fake model streams
// 2,000 deltas as fast as it can; the time to the first token and the token rate are
// measured straight from the model and through the service, side by side.
#include "AnswerService.h"
#include "ServerOptions.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <httplib.h>
#include <thread>
#include <vector>

using namespace notchora::answerd;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int tokenCount = 2000;

struct Timing {
    double firstTokenMs = 0;
    double totalMs = 0;
    int tokens = 0;
};

// Reads a streamed reply, noting when the first and the last `marker` arrive.
Timing measure(httplib::Client& client, const std::string& path, const std::string& body,
               const httplib::Headers& headers, const std::string& marker) {
    Timing timing;
    const auto start = Clock::now();
    std::string carry;
    httplib::Request request;
    request.method = "POST";
    request.path = path;
    request.headers = headers;
    request.body = body;
    request.set_header("Content-Type", "application/json");
    request.content_receiver = [&](const char* data, size_t length, uint64_t, uint64_t) {
        carry.append(data, length);
        for (size_t at = carry.find(marker); at != std::string::npos;
             at = carry.find(marker, at + 1)) {
            if (timing.tokens++ == 0)
                timing.firstTokenMs =
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        // Keep a tail in case a marker straddles two pieces.
        carry.erase(0, carry.size() > marker.size() ? carry.size() - marker.size() + 1 : 0);
        return true;
    };
    client.send(request);
    timing.totalMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return timing;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;

    std::string delta;
    {
        const QJsonObject chunk{
            {"choices", QJsonArray{QJsonObject{{"delta", QJsonObject{{"content", "kata "}}}}}}};
        delta =
            "data: " + QJsonDocument(chunk).toJson(QJsonDocument::Compact).toStdString() + "\n\n";
    }
    httplib::Server model;
    model.Post("/v1/chat/completions", [&delta](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider(
            "text/event-stream", [&delta, sent = 0](size_t, httplib::DataSink& sink) mutable {
                if (sent++ < tokenCount)
                    return sink.write(delta.data(), delta.size());
                sink.write("data: [DONE]\n\n", 14);
                sink.done();
                return true;
            });
    });
    const int modelPort = model.bind_to_any_port("127.0.0.1");
    std::thread modelThread([&model] { model.listen_after_bind(); });

    ServerOptions options;
    options.port = 0;
    options.modelEndpoint = QStringLiteral("http://127.0.0.1:%1/v1").arg(modelPort);
    options.model = QStringLiteral("bench");
    AnswerService service(options);
    const int port = service.bind();
    std::thread serviceThread([&service] { service.run(); });

    // Signs in straight through the token store: only the answers are measured.
    const QString verifier = QStringLiteral("bench-verifier-bench-verifier-bench-verifier");
    const QString code = service.tokens().issueCode("notchora-desktop", "soalika-answer://callback",
                                                    TokenStore::challengeFor(verifier));
    const auto grant = service.tokens().exchangeCode(code, verifier, "notchora-desktop",
                                                     "soalika-answer://callback");
    const std::string bearer = "Bearer " + grant.tokens->accessToken.toStdString();
    const std::string question =
        R"({"essay_style":"singkat","questions":[{"id":"1","type":"essay","text":"Tanya",)"
        R"("options":[],"images":[]}]})";

    // Rounds vary with the machine's load: the medians are what to read.
    std::vector<Timing> fromModel;
    std::vector<Timing> fromService;
    for (int round = 0; round < rounds; ++round) {
        httplib::Client direct("127.0.0.1", modelPort);
        httplib::Client through("127.0.0.1", port);
        fromModel.push_back(measure(direct, "/v1/chat/completions", "{}", {}, "\"content\""));
        fromService.push_back(measure(through, "/api/v1/answer/stream", question,
                                      {{"Authorization", bearer}}, "event: token"));
    }
    const auto median = [](std::vector<Timing> timings, double Timing::*field) {
        std::sort(timings.begin(), timings.end(),
                  [field](const Timing& a, const Timing& b) { return a.*field < b.*field; });
        return timings[timings.size() / 2].*field;
    };
    std::printf("%d deltas per answer, median of %d rounds\n", tokenCount, rounds);
    std::printf("%-14s %16s %12s %14s %8s\n", "", "first token (ms)", "whole (ms)", "tokens/s",
                "tokens");
    for (const auto& [name, timings] :
         {std::pair{"model", &fromModel}, std::pair{"via answerd", &fromService}}) {
        const double whole = median(*timings, &Timing::totalMs);
        std::printf("%-14s %16.3f %12.2f %14.0f %8d\n", name,
                    median(*timings, &Timing::firstTokenMs), whole, tokenCount / (whole / 1000.0),
                    timings->front().tokens);
    }
    std::printf("added to the first token: %.3f ms (target: at most 1 ms)\n",
                median(fromService, &Timing::firstTokenMs) -
                    median(fromModel, &Timing::firstTokenMs));
    service.stop();
    serviceThread.join();
    model.stop();
    modelThread.join();
    return 0;
}
