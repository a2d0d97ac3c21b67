#pragma once

namespace httplib {
struct Request;
}

namespace notchora::answerd {

// The socket a request came in on, watched for the client hanging up while the service is
// still waiting on the model and has nothing to write.
class ClientConnection {
public:
    explicit ClientConnection(const httplib::Request& request);
    // True once the client has closed its end (or the socket failed).
    bool isGone() const;

private:
    int m_fd = -1;
};

} // namespace notchora::answerd
