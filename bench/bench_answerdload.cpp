// notchora-answerd under load, as a separate process so its memory is its own:
//   1. the first answer while 200 connections trickle their headers and never finish them;
//   2. 50 slow streams at once: how long they take and what they add to the service's memory;
//   3. a soak of mixed requests (10,000 by default) from 8 clients: requests per second and
//      the resident size before and after (it should stay within 10 %).
// Usage: bench_answerdload [soak requests]
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QUrl>
#include <QUrlQuery>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const std::string verifier = "bench-verifier-bench-verifier-bench-verifier-0123";

long residentKiB(qint64 pid) {
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

std::string answerBody(const QString& question, int history) {
    QJsonObject body{{"essay_style", "singkat"},
                     {"questions", QJsonArray{QJsonObject{{"id", "1"},
                                                          {"type", "essay"},
                                                          {"text", question},
                                                          {"options", QJsonArray{}},
                                                          {"images", QJsonArray{}}}}}};
    if (history > 0) {
        QJsonArray messages;
        for (int i = 0; i < history; ++i)
            messages.append(QJsonObject{{"role", i % 2 ? "assistant" : "user"},
                                        {"content", QStringLiteral("pesan %1").arg(i)}});
        body.insert("history", messages);
    }
    return QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString();
}

std::string signIn(int port) {
    httplib::Client client("127.0.0.1", port);
    const std::string challenge =
        QCryptographicHash::hash(QByteArray::fromStdString(verifier), QCryptographicHash::Sha256)
            .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
            .toStdString();
    const auto authorized = client.Get(
        "/oauth/authorize?client_id=notchora-desktop&redirect_uri=soalika-answer%3A%2F%2F"
        "callback&state=s&code_challenge_method=S256&code_challenge=" +
        challenge);
    if (!authorized)
        return {};
    const QUrl location(QString::fromStdString(authorized->get_header_value("Location")));
    const QString code = QUrlQuery(location).queryItemValue(QStringLiteral("code"));
    const QJsonObject request{{"grant_type", "authorization_code"},
                              {"client_id", "notchora-desktop"},
                              {"code", code},
                              {"code_verifier", QString::fromStdString(verifier)},
                              {"redirect_uri", "soalika-answer://callback"}};
    const auto tokens = client.Post(
        "/api/oauth/token", QJsonDocument(request).toJson(QJsonDocument::Compact).toStdString(),
        "application/json");
    if (!tokens || tokens->status != 200)
        return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(tokens->body))
        .object()
        .value("access_token")
        .toString()
        .toStdString();
}

// One request of the mix; true when it got the status it should.
bool mixedRequest(httplib::Client& client, const std::string& token, int n) {
    const httplib::Headers bearer{{"Authorization", "Bearer " + token}};
    switch (n % 10) {
    case 0:
    case 1:
    case 2:
    case 3: {
        const auto reply =
            client.Post("/api/v1/answer/stream", bearer,
                        answerBody(QStringLiteral("soal %1").arg(n), n % 5), "application/json");
        return reply && reply->status == 200 &&
               reply->body.find("event: done") != std::string::npos;
    }
    case 4:
    case 5:
    case 6: {
        const auto reply =
            client.Post("/api/v1/answer", bearer, answerBody(QStringLiteral("soal %1").arg(n), 2),
                        "application/json");
        return reply && reply->status == 200;
    }
    case 7: {
        const auto reply = client.Get("/dev/stats");
        return reply && reply->status == 200;
    }
    case 8: {
        const auto reply = client.Post("/api/v1/answer", {{"Authorization", "Bearer nope"}},
                                       answerBody(QStringLiteral("x"), 0), "application/json");
        return reply && reply->status == 401;
    }
    default: {
        const auto reply = client.Post("/api/v1/answer", bearer, "[1,2", "application/json");
        return reply && reply->status == 422;
    }
    }
}

// Runs `total` mixed requests from `clients` threads; returns how many failed.
int soak(int port, const std::string& token, int total, int clients) {
    std::atomic<int> next{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            // Headers and body leave in separate writes: without this, each request waits
            // for the service's delayed acknowledgement.
            client.set_tcp_nodelay(true);
            for (int n = next++; n < total; n = next++) {
                if (!mixedRequest(client, token, n))
                    ++failed;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return failed;
}

// Connections that send the start of a request and then one more header byte now and then.
class Trickle {
public:
    Trickle(int port, int count) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            if (fd < 0 ||
                ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                if (fd >= 0)
                    ::close(fd);
                continue;
            }
            const char opening[] = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
            (void)!::write(fd, opening, sizeof opening - 1);
            m_fds.push_back(fd);
        }
        m_thread = std::thread([this] {
            while (!m_stop) {
                for (const int fd : m_fds)
                    (void)!::send(fd, "a", 1, MSG_NOSIGNAL);
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
            }
        });
    }
    ~Trickle() {
        m_stop = true;
        m_thread.join();
        for (const int fd : m_fds)
            ::close(fd);
    }
    int count() const { return int(m_fds.size()); }

private:
    std::vector<int> m_fds;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int soakRequests = argc > 1 ? std::atoi(argv[1]) : 10000;

    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QStringLiteral(NOTCHORA_ANSWERD), {"--port", "0"});
    if (!service.waitForStarted() || !service.waitForReadyRead(10000)) {
        std::fprintf(stderr, "notchora-answerd did not start\n");
        return 1;
    }
    const QUrl base(QString::fromUtf8(service.readLine()).trimmed().mid(13));
    const int port = base.port();
    const qint64 pid = service.processId();
    const std::string token = signIn(port);
    if (token.empty()) {
        std::fprintf(stderr, "sign-in failed\n");
        return 1;
    }
    std::printf("notchora-answerd pid %lld on port %d; RSS at start %ld KiB\n", pid, port,
                residentKiB(pid));

    // 1. The first answer under 200 slow connections.
    {
        Trickle slow(port, 200);
        std::printf("\n%d connections trickling their headers\n", slow.count());
        for (int i = 0; i < 5; ++i) {
            httplib::Client client("127.0.0.1", port);
            QElapsedTimer timer;
            timer.start();
            const auto reply =
                client.Post("/api/v1/answer/stream", {{"Authorization", "Bearer " + token}},
                            answerBody(QStringLiteral("cepat?"), 0), "application/json");
            std::printf("  answer %d: status %d in %.1f ms\n", i + 1, reply ? reply->status : -1,
                        timer.nsecsElapsed() / 1e6);
        }
        std::printf("  RSS with them open %ld KiB\n", residentKiB(pid));
    }

    // 2. 50 concurrent streams, as slow as the service's default model is fast.
    {
        const long before = residentKiB(pid);
        QElapsedTimer timer;
        timer.start();
        std::atomic<int> complete{0};
        std::vector<std::thread> streams;
        for (int i = 0; i < 50; ++i) {
            streams.emplace_back([&, i] {
                httplib::Client client("127.0.0.1", port);
                const auto reply = client.Post(
                    "/api/v1/answer/stream", {{"Authorization", "Bearer " + token}},
                    answerBody(QStringLiteral("aliran %1").arg(i), 3), "application/json");
                if (reply && reply->status == 200 &&
                    reply->body.find("event: done") != std::string::npos)
                    ++complete;
            });
        }
        for (std::thread& stream : streams)
            stream.join();
        std::printf("\n50 concurrent streams: %d complete in %.1f ms; RSS %ld -> %ld KiB\n",
                    complete.load(), timer.nsecsElapsed() / 1e6, before, residentKiB(pid));
    }

    // 3. The soak, after a warm-up that lets the allocator reach its working size.
    soak(port, token, 1000, 8);
    const long start = residentKiB(pid);
    QElapsedTimer timer;
    timer.start();
    const int failed = soak(port, token, soakRequests, 8);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const long end = residentKiB(pid);
    std::printf("\nsoak: %d mixed requests from 8 clients in %.2f s, %.0f requests/s, %d failed\n",
                soakRequests, seconds, soakRequests / seconds, failed);
    std::printf("  RSS %ld KiB after warm-up, %ld KiB at the end (%+.1f %%)\n", start, end,
                100.0 * double(end - start) / double(start));

    service.terminate();
    service.waitForFinished();
    return failed == 0 ? 0 : 2;
}
