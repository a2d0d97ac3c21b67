#include "TestHttpServer.h"

#include <httplib.h>

namespace notchora::test {

TestHttpServer::TestHttpServer() : m_server(std::make_unique<httplib::Server>()) {
    // Idle keep-alive connections would hold stop() for seconds.
    m_server->set_keep_alive_max_count(1);
}

TestHttpServer::~TestHttpServer() {
    stop();
}

bool TestHttpServer::start() {
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        return false;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() is a no-op until the accept loop runs, so wait for it.
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void TestHttpServer::stop() {
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

QUrl TestHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
}

} // namespace notchora::test
