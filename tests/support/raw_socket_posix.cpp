// CRawSocket on POSIX: a blocking descriptor with two-second send and receive time-outs.
#include "tests/support/raw_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/socket_error_map.h"

namespace {

int Descriptor(SocketHandle socket) {
    return static_cast<int>(socket);
}

}  // namespace

CRawSocket::CRawSocket(bool ipv6) : ipv6_(ipv6) {
    const int fd = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    const timeval limit = {2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    socket_ = static_cast<SocketHandle>(fd);
}

CRawSocket::CRawSocket(SocketHandle adopted) : socket_(adopted) {}

bool CRawSocket::ConnectToLoopback(std::uint16_t port) {
    sockaddr_in in4{};
    sockaddr_in6 in6{};
    in4.sin_family = AF_INET;
    in4.sin_port = htons(port);
    in4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    in6.sin6_family = AF_INET6;
    in6.sin6_port = htons(port);
    in6.sin6_addr = in6addr_loopback;
    const int fd = Descriptor(socket_);
    return ipv6_ ? connect(fd, reinterpret_cast<sockaddr*>(&in6), sizeof(in6)) == 0
                 : connect(fd, reinterpret_cast<sockaddr*>(&in4), sizeof(in4)) == 0;
}

bool CRawSocket::Send(const std::string& bytes) {
    return send(Descriptor(socket_), bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

std::int32_t CRawSocket::ReadToEnd(std::string& out) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = recv(Descriptor(socket_), buffer, sizeof(buffer), 0);
        if (got <= 0) {
            return got == 0 ? 0 : SocketErrorFromErrno(errno);
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
}

void CRawSocket::ShutdownWrite() {
    shutdown(Descriptor(socket_), SHUT_WR);
}

void CRawSocket::Close() {
    if (socket_ != kInvalidSocket) {
        close(Descriptor(socket_));
        socket_ = kInvalidSocket;
    }
}

bool CRawSocket::IsOpen(SocketHandle socket) {
    return fcntl(Descriptor(socket), F_GETFD) != -1;
}
