#include "AnswerService.h"

#include "AnswerEndpoints.h"
#include "AuthEndpoints.h"
#include "ModelAnswerer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cstdio>
#include <httplib.h>

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

} // namespace

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
    server.set_payload_max_length(64 * 1024 * 1024);
    // The token endpoint takes a few hundred bytes: a larger body is refused from its
    // headers, before it is read, let alone parsed.
    server.set_pre_routing_handler(
        [](const httplib::Request& request, httplib::Response& response) {
            if (request.method != "POST" || request.path != "/api/oauth/token")
                return httplib::Server::HandlerResponse::Unhandled;
            const std::string length = request.get_header_value("Content-Length");
            const bool small = !length.empty() && length.size() <= 6 &&
                               std::all_of(length.begin(), length.end(), ::isdigit) &&
                               std::stoul(length) <= maxTokenBodyBytes;
            if (small)
                return httplib::Server::HandlerResponse::Unhandled;
            response.status = 413;
            // The unread body stays on the connection: it cannot carry another request.
            response.set_header("Connection", "close");
            response.set_content(R"({"detail":"body too large"})", "application/json");
            return httplib::Server::HandlerResponse::Handled;
        });
    // Each kept-alive connection holds a worker while idle; a client's connection pool plus
    // a browser and slow streams must not leave a new request waiting in the queue.
    server.new_task_queue = [] { return new httplib::ThreadPool(32); };
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
    if (m_options.port == 0)
        return std::max(m_server->bind_to_any_port(host), 0);
    return m_server->bind_to_port(host, m_options.port) ? m_options.port : 0;
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
