#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace notchora::answerd {

// The service's callable endpoints, as failure rules address them.
enum class Endpoint { TokenCode, TokenRefresh, Stream, OneShot, Compact };

// One `--fail` rule. A status rule answers its endpoints with that status instead of serving
// them; the other kinds change what the event stream (or the answer) carries.
struct FailureRule {
    enum class Kind {
        Status,         // answer `status` with a JSON detail body (HTML for 500)
        StatusOnce,     // the same, for the first matching call only
        TooManyBare,    // 429 without Retry-After
        ErrorEvent,     // an "error" event with a detail text after a few tokens
        ErrorEventBare, // an "error" event whose data is an empty object
        EndEarly,       // the stream ends cleanly before "done"
        Drop,           // the connection is cut in the middle of the stream
        Slow,           // a delay between events
        Empty,          // "done" (and the one-shot reply) carry no answers
    };
    Kind kind = Kind::Status;
    int status = 0;
    std::vector<Endpoint> endpoints;

    bool applies(Endpoint endpoint) const;
    bool isStatus() const {
        return kind == Kind::Status || kind == Kind::StatusOnce || kind == Kind::TooManyBare;
    }
};

struct ServerOptions {
    QString host = QStringLiteral("127.0.0.1");
    int port = 8787;
    int tokenLifetime = 3600; // seconds
    int retryAfter = 10;      // seconds, sent with 429
    int tokenDelayMs = 200;   // between events when slow
    int codeLifetime = 600;   // seconds
    bool deny = false;
    bool log = false;
    std::vector<FailureRule> failures;
    // With an endpoint, answers come from this OpenAI-compatible model service.
    QString modelEndpoint;
    QString model;
    QString apiKeyEnv; // the name of the variable holding the key, never the key
    QString statePath;

    bool hasFailure(FailureRule::Kind kind) const;

    // Parses the command line (without the program name). Returns the error text for bad
    // arguments; `help` is set when usage was asked for.
    static std::optional<QString> parse(const QStringList& args, ServerOptions& out, bool& help);
    static QString usage();
    // Parses one `--fail` value, "[scope:]kind".
    static std::optional<FailureRule> parseFailure(const QString& text, QString& error);
};

// Whether `host` names a loopback address (127.0.0.0/8, ::1 or "localhost").
bool isLoopbackHost(const QString& host);

} // namespace notchora::answerd
