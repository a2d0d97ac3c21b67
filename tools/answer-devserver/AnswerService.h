#pragma once

#include "ServerOptions.h"
#include "TokenStore.h"

#include <QJsonObject>
#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace notchora::answerd {

class AuthEndpoints;
class AnswerEndpoints;
class ModelAnswerer;

// The development answer service: owns the HTTP server, the token store and the failure
// plan, and gives the endpoint classes the checks every call shares.
class AnswerService {
public:
    // The most the token endpoint reads; its requests are a few hundred bytes.
    static constexpr unsigned long maxTokenBodyBytes = 64 * 1024;
    // The most an answer endpoint reads. The program's largest question (four 1.2 MB JPEGs
    // in Base64, 40 history messages of 4,000 characters, an 8,000-character question) stays
    // under 8 MB as JSON.
    static constexpr unsigned long maxAnswerBodyBytes = 16 * 1024 * 1024;
    // The body a route reads at most; 0 when it takes none.
    static unsigned long bodyLimit(const std::string& method, const std::string& path);

    // `apiKey` goes to the model only; `state` keeps refresh tokens across restarts.
    explicit AnswerService(ServerOptions options, QByteArray apiKey = {},
                           std::unique_ptr<RefreshTokenFile> state = nullptr);
    ~AnswerService();

    // Binds to the configured host and port (0 = any free port). Returns the bound port, or
    // 0 when nothing could be bound.
    int bind();
    // Serves until stop(); blocks.
    bool run();
    void stop();

    const ServerOptions& options() const { return m_options; }
    TokenStore& tokens() { return m_tokens; }
    // The model answers come from; null for the deterministic echo.
    ModelAnswerer* model() const { return m_model.get(); }
    QString baseUrl(int port) const;

    // Counts the call, then answers it with an injected failure status when the plan says
    // so. Returns true when the response has been written.
    bool handleInjectedFailure(Endpoint endpoint, httplib::Response& response);
    // Checks the bearer token; writes the 401 and returns false when it is not good.
    bool checkBearer(const httplib::Request& request, httplib::Response& response) const;

    static void sendJson(httplib::Response& response, int status, const QJsonObject& body);
    // A JSON error body whose "detail" carries `text`.
    static void sendDetail(httplib::Response& response, int status, const QString& text);
    // Reads a JSON object body; writes a 422 and returns nothing when it is not one.
    static std::optional<QJsonObject> readJsonObject(const httplib::Request& request,
                                                     httplib::Response& response);

private:
    void installRoutes();
    void sendStatus(httplib::Response& response, int status, bool withRetryAfter) const;
    QJsonObject stats() const;

    ServerOptions m_options;
    TokenStore m_tokens;
    std::unique_ptr<httplib::Server> m_server;
    std::unique_ptr<AuthEndpoints> m_auth;
    std::unique_ptr<AnswerEndpoints> m_answers;
    std::unique_ptr<ModelAnswerer> m_model;
    // Clears expired codes and tokens while no new ones come in.
    std::mutex m_sweepMutex;
    std::condition_variable m_sweepWake;
    bool m_stopping = false;
    std::thread m_sweeper;
    // One flag per failure rule: whether a once-only rule has fired.
    std::unique_ptr<std::atomic<bool>[]> m_fired;
    static constexpr int endpointCount = 5;
    std::array<std::atomic<int>, endpointCount> m_calls{};
    std::atomic<int> m_authorizeCalls{0};

    friend class AuthEndpoints;
};

} // namespace notchora::answerd
