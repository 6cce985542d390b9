// CEventSyncSocket: the parts that are the same on every platform (connecting by name, the
// one-buffer send, the time-out and the scheme check).
#include "net/event_sync_socket.h"

#include "net/socket_addr.h"
#include "net/socket_library_init.h"
#include "platform/socket_error.h"

namespace {

// ConnectTo's resolution: no flags, any family, stream sockets, any protocol.
constexpr int kStreamSocket = 1;

}  // namespace

CEventSyncSocket::CEventSyncSocket() {
    SocketLibrary().Start();
}

CEventSyncSocket::~CEventSyncSocket() {
    CloseSocket();
}

bool CEventSyncSocket::ConnectTo(const char16_t* host, std::uint16_t port) {
    if (connected_) {
        return true;
    }
    CSocketAddr resolver;
    const int result = resolver.ResolvePort(host, port, 0, 0, kStreamSocket, 0);
    // The thread's socket error equals the result, except for -1 (unconvertible text), where it
    // holds the reason.
    SetLastError(GetSocketError());
    if (result != 0) {
        return false;
    }
    return ConnectToAddress(resolver.ResultAt(0));
}

bool CEventSyncSocket::SendBytes(const void* buffer, std::uint32_t& size) {
    // The send only reads through the descriptor; the pointer is not const only because the
    // descriptor layout is the system's.
    const CSocketBuffer one = {size, static_cast<char*>(const_cast<void*>(buffer))};
    return SendBuffers(&one, 1, size);
}

bool CEventSyncSocket::CheckConnected() {
    if (!connected_ || socket_ == kInvalidSocket) {
        SetLastError(kWsaNotConnected);
        return false;
    }
    return true;
}

std::uint32_t CEventSyncSocket::ExchangeTimeout(std::uint32_t milliseconds) {
    return timeoutMs_.exchange(milliseconds);
}

bool CEventSyncSocket::IsSchemeSupported(UrlSchemeKind kind) const {
    return kind == SchemeHttp;
}
