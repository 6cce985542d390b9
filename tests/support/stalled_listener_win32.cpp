// CStalledListener on Windows: a backlog of 0 and our own filler connection queued and never
// accepted. Under Wine the listener is a Linux socket, whose kernel drops the handshakes that
// follow while the queue is full, so a connection attempt stays in progress as on POSIX.
// Windows itself refuses such an attempt at once instead; there the connect time-out tests
// would see a refusal.
#include <winsock2.h>

#include "tests/support/stalled_listener.h"

namespace {

// The filler's connection is waited for at most this long (on loopback it completes at once).
constexpr long kFillerWaitSeconds = 2;

// A non-blocking connect, then a bounded wait for it to complete.
bool ConnectWithin(SOCKET socket, const sockaddr_in& address) {
    u_long nonBlocking = 1;
    if (ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        return false;
    }
    if (connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
        return true;
    }
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        return false;
    }
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket, &writable);
    fd_set failed = writable;
    timeval limit = {kFillerWaitSeconds, 0};
    return select(0, nullptr, &writable, &failed, &limit) == 1 && FD_ISSET(socket, &writable);
}

}  // namespace

CStalledListener::CStalledListener() {
    if (!library_.Start()) {
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    listener_ = listener == INVALID_SOCKET ? -1 : static_cast<std::intptr_t>(listener);
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 0) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
    const SOCKET filler = socket(AF_INET, SOCK_STREAM, 0);
    if (filler != INVALID_SOCKET && ConnectWithin(filler, address)) {
        filler_ = static_cast<std::intptr_t>(filler);
    } else if (filler != INVALID_SOCKET) {
        closesocket(filler);
    }
}

CStalledListener::~CStalledListener() {
    if (filler_ != -1) {
        closesocket(static_cast<SOCKET>(filler_));
    }
    if (listener_ != -1) {
        closesocket(static_cast<SOCKET>(listener_));
    }
}
