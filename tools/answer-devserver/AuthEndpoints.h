#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace notchora::answerd {

class AnswerService;

// The OAuth side: the authorize page, which approves (or with --deny refuses) at once, and
// the token endpoint for the authorization-code grant with PKCE S256 and for refresh tokens.
class AuthEndpoints {
public:
    explicit AuthEndpoints(AnswerService& service) : m_service(service) {}
    void install(httplib::Server& server);

    static inline const QString clientId = QStringLiteral("notchora-desktop");
    static inline const QString redirectUri = QStringLiteral("soalika-answer://callback");

private:
    void authorize(const httplib::Request& request, httplib::Response& response);
    void token(const httplib::Request& request, httplib::Response& response);
    static void refuse(httplib::Response& response, const QString& error,
                       const QString& description);
    static void redirect(httplib::Response& response,
                         const std::vector<std::pair<QString, QString>>& items);

    AnswerService& m_service;
};

} // namespace notchora::answerd
