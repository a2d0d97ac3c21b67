#pragma once

#include "AnswerComposer.h"
#include "ServerOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace notchora::answerd {

class AnswerService;

// The three answer endpoints: the event stream, the one-shot answer and compaction.
class AnswerEndpoints {
public:
    explicit AnswerEndpoints(AnswerService& service) : m_service(service) {}
    void install(httplib::Server& server);

    // How a stream is cut short, by the failure plan.
    struct StreamPlan {
        std::vector<std::string> events; // each a complete event, blank line included
        int dropBefore = -1;             // cut the connection before this event
        int delayMs = 0;                 // between events
    };
    StreamPlan planStream(const AnswerComposer::Question& question) const;
    static std::string event(const char* name, const QJsonObject& data);

private:
    // Runs the checks every answer call shares; returns false when a reply has been sent.
    bool admit(Endpoint endpoint, const httplib::Request& request, httplib::Response& response);
    // Admits the call and reads a valid answer body; otherwise the reply is already sent.
    std::optional<AnswerComposer::Question>
    admitQuestion(Endpoint endpoint, const httplib::Request& request, httplib::Response& response);
    void stream(const httplib::Request& request, httplib::Response& response);
    void oneShot(const httplib::Request& request, httplib::Response& response);
    void compact(const httplib::Request& request, httplib::Response& response);

    AnswerService& m_service;
};

} // namespace notchora::answerd
