#include "ClientConnection.h"

#include <cstdlib>
#include <dirent.h>
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
    DIR* fds = opendir("/proc/self/fd");
    if (!fds)
        return;
    while (const dirent* entry = readdir(fds)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0')
            continue;
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t localSize = sizeof local;
        socklen_t peerSize = sizeof peer;
        if (getsockname(int(fd), reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            getpeername(int(fd), reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0)
            continue;
        if (portOf(local) == request.local_port && portOf(peer) == request.remote_port) {
            m_fd = int(fd);
            break;
        }
    }
    closedir(fds);
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
