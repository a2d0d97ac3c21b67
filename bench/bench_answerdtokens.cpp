// Memory of notchora-answerd under a flood of sign-in attempts: 200,000 authorize calls over
// HTTP, none of them finished, with the resident size printed as they go. It should level
// off: expired codes are purged and at most a fixed number wait at once.
#include "AnswerService.h"
#include "ServerOptions.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <cstdio>
#include <httplib.h>
#include <thread>
#include <unistd.h>

using namespace notchora::answerd;

namespace {

long residentKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int codeLifetime = argc > 2 ? std::atoi(argv[2]) : 600;

    ServerOptions options;
    options.port = 0;
    options.codeLifetime = codeLifetime;
    AnswerService service(options);
    const int port = service.bind();
    if (port <= 0)
        return 1;
    std::thread serving([&service] { service.run(); });

    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    const std::string challenge =
        QCryptographicHash::hash("bench-verifier-bench-verifier-bench-verifier",
                                 QCryptographicHash::Sha256)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
            .toStdString();
    const std::string path = "/oauth/authorize?client_id=notchora-desktop&redirect_uri="
                             "soalika-answer%3A%2F%2Fcallback&state=s&code_challenge_method=S256"
                             "&code_challenge=" +
                             challenge;
    std::printf("code lifetime %d s; %d authorize calls\n", codeLifetime, calls);
    std::printf("%10s %12s %10s\n", "calls", "RSS (KiB)", "codes");
    const long start = residentKiB();
    for (int i = 1; i <= calls; ++i) {
        const auto reply = client.Get(path);
        if (!reply || reply->status != 302) {
            std::fprintf(stderr, "authorize failed at call %d\n", i);
            break;
        }
        if (i % (calls / 10) == 0)
            std::printf("%10d %12ld %10d\n", i, residentKiB(), service.tokens().counts().codes);
    }
    std::printf("grew by %ld KiB in all\n", residentKiB() - start);
    service.stop();
    serving.join();
    return 0;
}
