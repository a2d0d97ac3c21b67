#include "ClientConnection.h"

#include <QDir>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace notchora::answerd {

namespace {

int portOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return -1;
}

} // namespace

ClientConnection::ClientConnection(const httplib::Request& request) {
    // The server does not hand its socket to handlers; the pair of ports names it.
    const QStringList entries =
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString& entry : entries) {
        bool ok = false;
        const int fd = entry.toInt(&ok);
        if (!ok)
            continue;
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0)
            continue;
        if (portOf(local) == request.local_port && portOf(peer) == request.remote_port) {
            m_fd = fd;
            return;
        }
    }
}

bool ClientConnection::isGone() const {
    if (m_fd < 0)
        return false;
    pollfd watched{m_fd, POLLRDHUP, 0};
    if (poll(&watched, 1, 0) <= 0)
        return false;
    return (watched.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

} // namespace notchora::answerd
