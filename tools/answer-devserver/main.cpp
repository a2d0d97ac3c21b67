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

    AnswerService service(options);
    const int port = service.bind();
    if (port <= 0) {
        printError(
            QStringLiteral("cannot listen on %1 port %2").arg(options.host).arg(options.port));
        return 1;
    }
    std::printf("listening on %s\n", qPrintable(service.baseUrl(port)));
    std::fflush(stdout);
    return service.run() ? 0 : 1;
}
