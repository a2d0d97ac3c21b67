#pragma once

#include <QString>
#include <QUrl>
#include <memory>
#include <thread>

namespace httplib {
class Server;
}

namespace notchora::test {

// A real HTTP server on 127.0.0.1 and a free port, serving from its own thread. Add routes
// through `server()` before `start()`.
class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();

    httplib::Server& server() { return *m_server; }
    // Binds and starts serving; returns false when no port could be bound.
    bool start();
    void stop();
    int port() const { return m_port; }
    QUrl url(const QString& path = QString()) const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
};

} // namespace notchora::test
