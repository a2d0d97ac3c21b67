#include "ServerOptions.h"

#include <QUrl>
#include <algorithm>
#include <arpa/inet.h>

namespace notchora::answerd {

namespace {

using Kind = FailureRule::Kind;

const std::vector<Endpoint> apiEndpoints{Endpoint::Stream, Endpoint::OneShot, Endpoint::Compact};
const std::vector<Endpoint> tokenEndpoints{Endpoint::TokenCode, Endpoint::TokenRefresh};

std::optional<std::vector<Endpoint>> scopeEndpoints(const QString& scope) {
    if (scope == u"api")
        return apiEndpoints;
    if (scope == u"stream")
        return std::vector{Endpoint::Stream};
    if (scope == u"oneshot")
        return std::vector{Endpoint::OneShot};
    if (scope == u"compact")
        return std::vector{Endpoint::Compact};
    if (scope == u"token")
        return tokenEndpoints;
    if (scope == u"code")
        return std::vector{Endpoint::TokenCode};
    if (scope == u"refresh")
        return std::vector{Endpoint::TokenRefresh};
    if (scope == u"all") {
        std::vector<Endpoint> all = apiEndpoints;
        all.insert(all.end(), tokenEndpoints.begin(), tokenEndpoints.end());
        return all;
    }
    return std::nullopt;
}

std::optional<int> nonNegative(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 ? std::optional(value) : std::nullopt;
}

} // namespace

bool FailureRule::applies(Endpoint endpoint) const {
    return std::find(endpoints.begin(), endpoints.end(), endpoint) != endpoints.end();
}

bool ServerOptions::hasFailure(FailureRule::Kind kind) const {
    return std::any_of(failures.begin(), failures.end(),
                       [kind](const FailureRule& rule) { return rule.kind == kind; });
}

std::optional<FailureRule> ServerOptions::parseFailure(const QString& text, QString& error) {
    QString scope;
    QString name = text.trimmed();
    if (const qsizetype colon = name.indexOf(u':'); colon >= 0) {
        scope = name.left(colon);
        name = name.mid(colon + 1);
    }

    FailureRule rule;
    static const std::pair<const char16_t*, Kind> streamKinds[] = {
        {u"error-event", Kind::ErrorEvent},
        {u"error-event-bare", Kind::ErrorEventBare},
        {u"end-early", Kind::EndEarly},
        {u"drop", Kind::Drop},
        {u"slow", Kind::Slow},
        {u"empty", Kind::Empty},
    };
    for (const auto& [word, kind] : streamKinds) {
        if (name == word) {
            if (!scope.isEmpty()) {
                error = QStringLiteral("failure mode '%1' takes no scope").arg(name);
                return std::nullopt;
            }
            rule.kind = kind;
            rule.endpoints = kind == Kind::Empty ? std::vector{Endpoint::Stream, Endpoint::OneShot}
                                                 : std::vector{Endpoint::Stream};
            return rule;
        }
    }

    if (name == u"401-once") {
        rule.kind = Kind::StatusOnce;
        rule.status = 401;
    } else if (name == u"429-bare") {
        rule.kind = Kind::TooManyBare;
        rule.status = 429;
    } else {
        bool ok = false;
        rule.status = name.toInt(&ok);
        if (!ok || rule.status < 400 || rule.status > 599) {
            error = QStringLiteral("unknown failure mode '%1'").arg(text);
            return std::nullopt;
        }
    }
    // A missing stream is the one failure that most naturally belongs to the stream alone.
    const QString effectiveScope =
        scope.isEmpty() ? (rule.status == 404 ? QStringLiteral("stream") : QStringLiteral("api"))
                        : scope;
    const auto endpoints = scopeEndpoints(effectiveScope);
    if (!endpoints) {
        error = QStringLiteral("unknown failure scope '%1'").arg(scope);
        return std::nullopt;
    }
    rule.endpoints = *endpoints;
    return rule;
}

std::optional<QString> ServerOptions::parse(const QStringList& args, ServerOptions& out,
                                            bool& help) {
    help = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == u"-h" || arg == u"--help") {
            help = true;
            return std::nullopt;
        }
        if (arg == u"--deny") {
            out.deny = true;
            continue;
        }
        if (arg == u"--log") {
            out.log = true;
            continue;
        }
        static const QStringList valued{"--port",          "--host",           "--token-lifetime",
                                        "--code-lifetime", "--retry-after",    "--token-delay",
                                        "--fail",          "--model-endpoint", "--model",
                                        "--api-key-env",   "--state"};
        if (!valued.contains(arg))
            return QStringLiteral("unknown argument '%1'").arg(arg);
        if (i + 1 >= args.size())
            return QStringLiteral("%1 needs a value").arg(arg);
        const QString value = args[++i];
        if (arg == u"--host") {
            out.host = value;
        } else if (arg == u"--model-endpoint") {
            const QUrl url(value, QUrl::StrictMode);
            if (!url.isValid() || url.host().isEmpty() ||
                (url.scheme() != u"http" && url.scheme() != u"https"))
                return QStringLiteral("--model-endpoint needs an http or https URL, got '%1'")
                    .arg(value);
            out.modelEndpoint = value;
        } else if (arg == u"--model") {
            out.model = value;
        } else if (arg == u"--api-key-env") {
            out.apiKeyEnv = value;
        } else if (arg == u"--state") {
            out.statePath = value;
        } else if (arg == u"--fail") {
            for (const QString& part : value.split(u',', Qt::SkipEmptyParts)) {
                QString error;
                const auto rule = parseFailure(part, error);
                if (!rule)
                    return error;
                out.failures.push_back(*rule);
            }
        } else {
            const auto number = nonNegative(value);
            if (!number)
                return QStringLiteral("%1 needs a whole number, got '%2'").arg(arg, value);
            if (arg == u"--port") {
                if (*number > 65535)
                    return QStringLiteral("port %1 is out of range").arg(*number);
                out.port = *number;
            } else if (arg == u"--token-lifetime") {
                out.tokenLifetime = *number;
            } else if (arg == u"--code-lifetime") {
                out.codeLifetime = *number;
            } else if (arg == u"--retry-after") {
                out.retryAfter = *number;
            } else {
                out.tokenDelayMs = *number;
            }
        }
    }
    if (!out.modelEndpoint.isEmpty() && out.model.trimmed().isEmpty())
        return QStringLiteral("--model-endpoint needs --model NAME");
    if (out.modelEndpoint.isEmpty() && (!out.model.isEmpty() || !out.apiKeyEnv.isEmpty()))
        return QStringLiteral("--model and --api-key-env need --model-endpoint URL");
    return std::nullopt;
}

QString ServerOptions::usage() {
    return QStringLiteral(
        "usage: notchora-answerd [--port PORT] [--host ADDRESS] [options]\n"
        "\n"
        "Development answer service on a loopback address (port 0 picks a free port).\n"
        "\n"
        "  --token-lifetime SECONDS  access token lifetime (default 3600)\n"
        "  --code-lifetime SECONDS   authorization code lifetime (default 600)\n"
        "  --state FILE              keep sign-ins (hashed refresh tokens) in this SQLite file\n"
        "  --model-endpoint URL      answer through an OpenAI-compatible service, e.g.\n"
        "                            http://127.0.0.1:8080/v1 (default: deterministic echo)\n"
        "  --model NAME              the model to ask (needed with --model-endpoint)\n"
        "  --api-key-env VAR         send the key held in environment variable VAR\n"
        "  --deny                    the authorize page refuses (error=access_denied)\n"
        "  --retry-after SECONDS     Retry-After sent with 429 (default 10)\n"
        "  --token-delay MS          delay between events with --fail slow (default 200)\n"
        "  --log                     print each request on stderr\n"
        "  --fail [SCOPE:]MODE       inject a failure; repeat or separate with commas\n"
        "\n"
        "  MODE: a status 400-599 (429 carries Retry-After), 401-once (first call only),\n"
        "        429-bare (429 without Retry-After), and for the event stream:\n"
        "        error-event, error-event-bare, end-early, drop, slow, empty\n"
        "  SCOPE for statuses: api (default; stream, oneshot, compact), stream (default\n"
        "        for 404), oneshot, compact, token (code, refresh), code, refresh, all\n"
        "\n"
        "  GET /dev/stats returns how many calls each endpoint has had and how many codes\n"
        "  and tokens are held.\n");
}

bool isLoopbackHost(const QString& host) {
    if (host == u"localhost")
        return true;
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.constData(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

} // namespace notchora::answerd
