#include "AnswerService.h"

#include "AnswerEndpoints.h"
#include "AuthEndpoints.h"
#include "ConnectionWorkers.h"
#include "ModelAnswerer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cstdio>
#include <httplib.h>
#include <sys/socket.h>

namespace notchora::answerd {

namespace {

QString reasonFor(int status) {
    switch (status) {
    case 400:
        return QStringLiteral("Permintaan tidak valid.");
    case 401:
        return QStringLiteral("Token akses tidak valid atau sudah kedaluwarsa.");
    case 403:
        return QStringLiteral("Akses ditolak.");
    case 404:
        return QStringLiteral("Not Found");
    case 422:
        return QStringLiteral("Data tidak lolos validasi.");
    case 429:
        return QStringLiteral("Terlalu banyak permintaan.");
    case 502:
        return QStringLiteral("Model tidak dapat dihubungi.");
    case 503:
        return QStringLiteral("Layanan jawaban sedang dimatikan.");
    default:
        return QString();
    }
}

const char* endpointName(Endpoint endpoint) {
    switch (endpoint) {
    case Endpoint::TokenCode:
        return "token_code";
    case Endpoint::TokenRefresh:
        return "token_refresh";
    case Endpoint::Stream:
        return "stream";
    case Endpoint::OneShot:
        return "oneshot";
    case Endpoint::Compact:
        return "compact";
    }
    return "";
}

// Workers kept when idle, the most at once, and how long an extra one idles before it ends.
constexpr std::size_t keptWorkers = 8;
constexpr std::size_t maxWorkers = 1024;
constexpr std::chrono::milliseconds workerIdleTimeout{10'000};

} // namespace

unsigned long AnswerService::bodyLimit(const std::string& method, const std::string& path) {
    if (method != "POST")
        return 0;
    if (path == "/api/oauth/token")
        return maxTokenBodyBytes;
    if (path.starts_with("/api/v1/answer"))
        return maxAnswerBodyBytes;
    return 0;
}

AnswerService::AnswerService(ServerOptions options, QByteArray apiKey,
                             std::unique_ptr<RefreshTokenFile> state)
    : m_options(std::move(options)),
      m_tokens(m_options.tokenLifetime, std::chrono::seconds(m_options.codeLifetime),
               std::move(state)),
      m_server(std::make_unique<httplib::Server>()),
      m_fired(std::make_unique<std::atomic<bool>[]>(m_options.failures.size())) {
    m_auth = std::make_unique<AuthEndpoints>(*this);
    m_answers = std::make_unique<AnswerEndpoints>(*this);
    if (!m_options.modelEndpoint.isEmpty())
        m_model = std::make_unique<ModelAnswerer>(m_options.modelEndpoint, m_options.model,
                                                  std::move(apiKey));
    installRoutes();
    m_sweeper = std::thread([this] {
        std::unique_lock lock(m_sweepMutex);
        while (!m_sweepWake.wait_for(lock, std::chrono::seconds(1), [this] { return m_stopping; }))
            m_tokens.purge();
    });
}

AnswerService::~AnswerService() {
    {
        std::lock_guard lock(m_sweepMutex);
        m_stopping = true;
    }
    m_sweepWake.notify_all();
    m_sweeper.join();
}

void AnswerService::installRoutes() {
    httplib::Server& server = *m_server;
    // Events are small writes that must leave at once.
    server.set_tcp_nodelay(true);
    // A backstop only: the check below refuses an oversize body before it is read.
    server.set_payload_max_length(maxAnswerBodyBytes);
    // A body larger than its route takes is refused from the headers, before it is read (the
    // library would read it all only to drop it), let alone parsed. A body of unknown length
    // could be any size, so it is refused as well.
    server.set_pre_routing_handler(
        [](const httplib::Request& request, httplib::Response& response) {
            const unsigned long limit = bodyLimit(request.method, request.path);
            const std::string length = request.get_header_value("Content-Length");
            const bool known = !length.empty() && length.size() <= 10 &&
                               std::all_of(length.begin(), length.end(), ::isdigit);
            if (known && std::stoull(length) <= limit)
                return httplib::Server::HandlerResponse::Unhandled;
            const bool streamed = request.has_header("Transfer-Encoding");
            if (!known && limit == 0 && !streamed)
                return httplib::Server::HandlerResponse::Unhandled;
            // Ten digits and more is over any limit; a body sent without a length is asked
            // for one.
            const bool tooLarge = !length.empty();
            response.status = tooLarge ? 413 : 411;
            // The unread body stays on the connection: it cannot carry another request.
            response.set_header("Connection", "close");
            response.set_content(tooLarge ? R"({"detail":"body too large"})"
                                          : R"({"detail":"Content-Length required"})",
                                 "application/json");
            return httplib::Server::HandlerResponse::Handled;
        });
    // One thread per connection, so slow clients and long streams hold only their own. The
    // library deletes the queue when the server stops.
    server.new_task_queue = [] {
        return new ConnectionWorkers(keptWorkers, maxWorkers, workerIdleTimeout);
    };
    m_auth->install(server);
    m_answers->install(server);

    server.Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<!doctype html><meta charset=utf-8><title>notchora-answerd</title>"
                             "<p>Development answer service is running.</p>",
                             "text/html; charset=utf-8");
    });
    server.Get("/dev/stats", [this](const httplib::Request&, httplib::Response& response) {
        sendJson(response, 200, stats());
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        // Leave bodies the handlers wrote alone; give bare errors a JSON detail.
        if (response.body.empty())
            sendDetail(response, response.status, reasonFor(response.status));
    });
    if (m_options.log) {
        server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
            std::fprintf(stderr, "%s %s %d\n", request.method.c_str(), request.path.c_str(),
                         response.status);
        });
    }
}

int AnswerService::bind() {
    const std::string host =
        m_options.host == u"localhost" ? "127.0.0.1" : m_options.host.toStdString();
    int listening = -1;
    m_server->set_socket_options([&listening](socket_t socket) {
        httplib::default_socket_options(socket);
        listening = socket;
    });
    const int port = m_options.port == 0 ? std::max(m_server->bind_to_any_port(host), 0)
                     : m_server->bind_to_port(host, m_options.port) ? m_options.port
                                                                    : 0;
    // The library listens with a backlog of 5: of a few hundred clients connecting at once,
    // most would wait for their connection attempts to be retried, a second and more.
    // Listening again on the bound socket raises the backlog.
    if (port > 0 && listening >= 0 && ::listen(listening, SOMAXCONN) != 0)
        std::perror("notchora-answerd: listen");
    return port;
}

bool AnswerService::run() {
    return m_server->listen_after_bind();
}

void AnswerService::stop() {
    m_server->stop();
}

QString AnswerService::baseUrl(int port) const {
    const QString host =
        m_options.host == u"localhost" ? QStringLiteral("127.0.0.1") : m_options.host;
    return host.contains(u':') ? QStringLiteral("http://[%1]:%2").arg(host).arg(port)
                               : QStringLiteral("http://%1:%2").arg(host).arg(port);
}

bool AnswerService::handleInjectedFailure(Endpoint endpoint, httplib::Response& response) {
    ++m_calls[static_cast<size_t>(endpoint)];
    for (size_t i = 0; i < m_options.failures.size(); ++i) {
        const FailureRule& rule = m_options.failures[i];
        if (!rule.isStatus() || !rule.applies(endpoint))
            continue;
        if (rule.kind == FailureRule::Kind::StatusOnce && m_fired[i].exchange(true))
            continue;
        sendStatus(response, rule.status, rule.kind != FailureRule::Kind::TooManyBare);
        return true;
    }
    return false;
}

void AnswerService::sendStatus(httplib::Response& response, int status, bool withRetryAfter) const {
    if (status == 429 && withRetryAfter)
        response.set_header("Retry-After", std::to_string(m_options.retryAfter));
    const QString reason = reasonFor(status);
    if (reason.isEmpty()) {
        // What a proxy in front of a failing service tends to answer: not JSON at all.
        response.status = status;
        response.set_content("<html><body><h1>" + std::to_string(status) + "</h1></body></html>",
                             "text/html");
        return;
    }
    sendDetail(response, status, reason);
}

bool AnswerService::checkBearer(const httplib::Request& request,
                                httplib::Response& response) const {
    const QString header = QString::fromStdString(request.get_header_value("Authorization"));
    const QString prefix = QStringLiteral("Bearer ");
    if (header.startsWith(prefix) && m_tokens.isValidAccessToken(header.mid(prefix.size())))
        return true;
    response.set_header("WWW-Authenticate", "Bearer");
    sendDetail(response, 401, reasonFor(401));
    return false;
}

void AnswerService::sendJson(httplib::Response& response, int status, const QJsonObject& body) {
    response.status = status;
    response.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                         "application/json");
}

void AnswerService::sendDetail(httplib::Response& response, int status, const QString& text) {
    sendJson(response, status, QJsonObject{{QStringLiteral("detail"), text}});
}

std::optional<QJsonObject> AnswerService::readJsonObject(const httplib::Request& request,
                                                         httplib::Response& response) {
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(request.body), &error);
    if (error.error == QJsonParseError::NoError && document.isObject())
        return document.object();
    const QJsonObject problem{
        {QStringLiteral("loc"), QJsonArray{QStringLiteral("body")}},
        {QStringLiteral("msg"), QStringLiteral("isi permintaan harus objek JSON")},
        {QStringLiteral("type"), QStringLiteral("json_invalid")}};
    sendJson(response, 422, QJsonObject{{QStringLiteral("detail"), QJsonArray{problem}}});
    return std::nullopt;
}

QJsonObject AnswerService::stats() const {
    QJsonObject counts{{QStringLiteral("authorize"), m_authorizeCalls.load()}};
    for (int i = 0; i < endpointCount; ++i)
        counts.insert(QLatin1String(endpointName(static_cast<Endpoint>(i))), m_calls[i].load());
    const TokenStore::Counts held = m_tokens.counts();
    counts.insert(QStringLiteral("codes"), held.codes);
    counts.insert(QStringLiteral("access_tokens"), held.accessTokens);
    counts.insert(QStringLiteral("refresh_tokens"), held.refreshTokens);
    return counts;
}

} // namespace notchora::answerd
