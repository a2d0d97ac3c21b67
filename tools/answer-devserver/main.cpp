#include "AnswerService.h"
#include "ServerOptions.h"

#include <cstdio>

using namespace notchora::answerd;

namespace {

void printError(const QString& text) {
    std::fprintf(stderr, "notchora-answerd: %s\n", qPrintable(text));
}

} // namespace

int main(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    ServerOptions options;
    bool help = false;
    if (const auto error = ServerOptions::parse(args, options, help)) {
        printError(*error);
        std::fputs(qPrintable(ServerOptions::usage()), stderr);
        return 2;
    }
    if (help) {
        std::fputs(qPrintable(ServerOptions::usage()), stdout);
        return 0;
    }
    // It hands out tokens to whoever asks, so it must never be reachable from elsewhere.
    if (!isLoopbackHost(options.host)) {
        printError(QStringLiteral("refusing to serve on '%1': only a loopback address "
                                  "(127.0.0.1, ::1 or localhost) is allowed")
                       .arg(options.host));
        return 2;
    }

    // The key comes from the environment only: a command line is visible to every user.
    QByteArray apiKey;
    if (!options.apiKeyEnv.isEmpty()) {
        apiKey = qgetenv(options.apiKeyEnv.toLocal8Bit().constData());
        if (apiKey.isEmpty()) {
            printError(QStringLiteral("environment variable %1 is not set").arg(options.apiKeyEnv));
            return 2;
        }
    }
    std::unique_ptr<RefreshTokenFile> state;
    if (!options.statePath.isEmpty()) {
        QString error;
        state = RefreshTokenFile::open(options.statePath, error);
        if (!state) {
            printError(
                QStringLiteral("cannot open state file %1: %2").arg(options.statePath, error));
            return 1;
        }
    }

    AnswerService service(options, apiKey, std::move(state));
    const int port = service.bind();
    if (port <= 0) {
        printError(
            QStringLiteral("cannot listen on %1 port %2").arg(options.host).arg(options.port));
        return 1;
    }
    std::printf("listening on %s\n", qPrintable(service.baseUrl(port)));
    if (service.model())
        std::printf("answering with model %s at %s\n", qPrintable(options.model),
                    qPrintable(options.modelEndpoint));
    std::fflush(stdout);
    return service.run() ? 0 : 1;
}
