// CRawSocket on Windows: a blocking SOCKET with two-second send and receive time-outs. It holds
// a start of the Windows Sockets library for its lifetime.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

#include "tests/support/raw_socket.h"

namespace {

SOCKET SystemSocket(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

}  // namespace

CRawSocket::CRawSocket(bool ipv6) : ipv6_(ipv6) {
    if (!library_.Start()) {
        return;
    }
    const SOCKET made = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    if (made == INVALID_SOCKET) {
        return;
    }
    const DWORD limitMs = 2000;
    const auto* limit = reinterpret_cast<const char*>(&limitMs);
    setsockopt(made, SOL_SOCKET, SO_RCVTIMEO, limit, sizeof(limitMs));
    setsockopt(made, SOL_SOCKET, SO_SNDTIMEO, limit, sizeof(limitMs));
    socket_ = static_cast<SocketHandle>(made);
}

CRawSocket::CRawSocket(SocketHandle adopted) : socket_(adopted) {
    library_.Start();
}

bool CRawSocket::ConnectToLoopback(std::uint16_t port) {
    sockaddr_in in4{};
    sockaddr_in6 in6{};
    in4.sin_family = AF_INET;
    in4.sin_port = htons(port);
    in4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    in6.sin6_family = AF_INET6;
    in6.sin6_port = htons(port);
    in6.sin6_addr.s6_addr[15] = 1;  // ::1
    const SOCKET socket = SystemSocket(socket_);
    return ipv6_ ? connect(socket, reinterpret_cast<sockaddr*>(&in6), sizeof(in6)) == 0
                 : connect(socket, reinterpret_cast<sockaddr*>(&in4), sizeof(in4)) == 0;
}

bool CRawSocket::Send(const std::string& bytes) {
    return bytes.size() <= INT_MAX &&
           send(SystemSocket(socket_), bytes.data(), static_cast<int>(bytes.size()), 0) ==
               static_cast<int>(bytes.size());
}

std::int32_t CRawSocket::ReadToEnd(std::string& out) {
    char buffer[4096];
    for (;;) {
        const int got = recv(SystemSocket(socket_), buffer, sizeof(buffer), 0);
        if (got <= 0) {
            return got == 0 ? 0 : WSAGetLastError();
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
}

void CRawSocket::ShutdownWrite() {
    shutdown(SystemSocket(socket_), SD_SEND);
}

void CRawSocket::Close() {
    if (socket_ != kInvalidSocket) {
        closesocket(SystemSocket(socket_));
        socket_ = kInvalidSocket;
    }
}

bool CRawSocket::IsOpen(SocketHandle socket) {
    int type = 0;
    int length = sizeof(type);
    return getsockopt(SystemSocket(socket), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type),
                      &length) == 0;
}
