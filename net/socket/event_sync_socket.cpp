// CEventSyncSocket: the parts that are the same on every platform (connecting by name, one
// resolved address after another within the one time-out, and by resolved entry; the argument
// checks and the one-operation-per-direction rule of sends and receives, the one-buffer send,
// the time-out and the scheme check). The waits are the platform halves'
// (event_sync_socket_posix.cpp, event_sync_socket_win32.cpp).
#include "net/socket/event_sync_socket.h"

#include <chrono>
#include <cstddef>

#include "net/resolve/address_records.h"
#include "net/resolve/socket_addr.h"
#include "net/socket/socket_library_init.h"
#include "platform/socket_error.h"

namespace {

// ConnectTo's resolution: no flags, any family, stream sockets, any protocol.
constexpr int kStreamSocket = 1;

// Leaves the direction on every path out of a send or receive.
template <typename Direction>
class CLeaveOnExit {
public:
    explicit CLeaveOnExit(Direction& direction) : direction_(direction) {}
    ~CLeaveOnExit() { direction_.Leave(); }
    CLeaveOnExit(const CLeaveOnExit&) = delete;
    CLeaveOnExit& operator=(const CLeaveOnExit&) = delete;

private:
    Direction& direction_;
};

std::size_t CountEntries(const addrinfo* list) {
    std::size_t count = 0;
    for (; list != nullptr; list = ViewAddressRecord(list).next) {
        ++count;
    }
    return count;
}

// How ConnectTo shares its one time-out between the addresses of a name: each attempt may wait
// an equal share of what is left for it and the attempts after it, and the last one all that
// is left. An address that drops packets so costs at most its share and leaves time for those
// behind it, while an address that fails at once (refused, unreachable) hands its unused share
// on to them. A name of one address gets the whole time-out, to the millisecond, as a connect to
// one address always did; the attempts together never wait longer than the time-out.
class CConnectBudget {
public:
    using Clock = std::chrono::steady_clock;

    CConnectBudget(std::uint32_t timeoutMs, std::size_t attempts)
        : timeoutMs_(timeoutMs),
          deadline_(Clock::now() + std::chrono::milliseconds(timeoutMs)),
          attemptsLeft_(attempts) {}

    // The longest wait of the next attempt, in milliseconds; called once per attempt.
    std::uint32_t NextShare() {
        const std::int64_t left =
            started_
                ? std::chrono::floor<std::chrono::milliseconds>(deadline_ - Clock::now()).count()
                : timeoutMs_;
        started_ = true;
        const auto sharers = static_cast<std::int64_t>(attemptsLeft_ > 1 ? attemptsLeft_-- : 1);
        return left > 0 ? static_cast<std::uint32_t>(left / sharers) : 0;
    }

private:
    std::uint32_t timeoutMs_;
    Clock::time_point deadline_;
    std::size_t attemptsLeft_;
    bool started_ = false;
};

}  // namespace

CEventSyncSocket::CEventSyncSocket() {
    SocketLibrary().Start();
}

CEventSyncSocket::~CEventSyncSocket() {
    CloseSocket();
}

bool CEventSyncSocket::OpenForAddress(const addrinfo* entry, std::uint32_t extraFlags) {
    if (entry == nullptr) {
        SetLastError(kWsaFault);
        return false;
    }
    const CAddressRecordView view = ViewAddressRecord(entry);
    return OpenSocket(view.family, view.socketType, view.protocol, extraFlags);
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
    const addrinfo* first = resolver.ResultAt(0);
    CConnectBudget budget(timeoutMs_, CountEntries(first));
    for (const addrinfo* entry = first; entry != nullptr; entry = ViewAddressRecord(entry).next) {
        // The attempt before failed: on POSIX its socket is still open (the attempt dissolved).
        // The next address may be of another family, and a fresh socket carries nothing over.
        if (entry != first) {
            CloseSocket();
        }
        if (ConnectEntryWithin(entry, budget.NextShare())) {
            return true;
        }
    }
    return false;
}

bool CEventSyncSocket::ConnectToAddress(const addrinfo* entry) {
    return ConnectEntryWithin(entry, timeoutMs_);
}

bool CEventSyncSocket::ConnectEntryWithin(const addrinfo* entry, std::uint32_t waitMs) {
    if (entry == nullptr) {
        SetLastError(kWsaFault);
        return false;
    }
    if (socket_ == kInvalidSocket && !OpenForAddress(entry, 0)) {
        return false;
    }
    const CAddressRecordView view = ViewAddressRecord(entry);
    return ConnectRawWithin(view.address, static_cast<int>(view.addressLength), waitMs);
}

bool CEventSyncSocket::ConnectRaw(const sockaddr* address, int addressLength) {
    return ConnectRawWithin(address, addressLength, timeoutMs_);
}

bool CEventSyncSocket::ConnectRawWithin(const sockaddr* address, int addressLength,
                                        std::uint32_t waitMs) {
    if (connected_) {
        return true;
    }
    if (socket_ == kInvalidSocket) {
        return false;
    }
    if (address == nullptr || addressLength <= 0) {
        SetLastError(kWsaFault);
        return false;
    }
    return ConnectOpenSocket(address, addressLength, waitMs);
}

bool CEventSyncSocket::SendBuffers(const CSocketBuffer* buffers, std::uint32_t count,
                                   std::uint32_t& bytesSent) {
    bytesSent = 0;
    if (!EnterConnected(writeDirection_)) {
        return false;
    }
    CLeaveOnExit<CDirection> leave(writeDirection_);
    if (const std::int32_t fault = CheckSocketBuffers(buffers, count)) {
        SetLastError(fault);
        return false;
    }
    return count == 0 || SendHeld(buffers, count, bytesSent);
}

bool CEventSyncSocket::SendBytes(const void* buffer, std::uint32_t& size) {
    // The send only reads through the descriptor; the pointer is not const only because the
    // descriptor layout is the system's.
    const CSocketBuffer one = {size, static_cast<char*>(const_cast<void*>(buffer))};
    return SendBuffers(&one, 1, size);
}

bool CEventSyncSocket::ReceiveBytes(void* buffer, std::uint32_t& size) {
    const std::uint32_t capacity = size;
    size = 0;
    if (!EnterConnected(readDirection_)) {
        return false;
    }
    CLeaveOnExit<CDirection> leave(readDirection_);
    // No room would read as "0 bytes: the peer closed", so it is refused.
    if (buffer == nullptr || capacity == 0) {
        SetLastError(buffer == nullptr ? kWsaFault : kWsaInvalidArgument);
        return false;
    }
    return ReceiveHeld(buffer, capacity, size);
}

bool CEventSyncSocket::CheckConnected() {
    if (!connected_ || socket_ == kInvalidSocket) {
        SetLastError(kWsaNotConnected);
        return false;
    }
    return true;
}

bool CEventSyncSocket::EnterConnected(CDirection& direction) {
    if (!CheckConnected()) {
        return false;
    }
    if (!direction.TryEnter()) {
        SetLastError(kWsaInProgress);
        return false;
    }
    return true;
}

std::uint32_t CEventSyncSocket::ExchangeTimeout(std::uint32_t milliseconds) {
    return timeoutMs_.exchange(milliseconds);
}

bool CEventSyncSocket::StartTunnelTls(const char16_t*, const std::uint8_t*, std::uint32_t) {
    SetLastError(kWsaOperationNotSupported);
    return false;
}

bool CEventSyncSocket::IsSchemeSupported(UrlSchemeKind kind) const {
    return kind == SchemeHttp;
}
