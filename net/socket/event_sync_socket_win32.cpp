// CEventSyncSocket on Windows: overlapped Windows Sockets operations completed through event
// objects. The connect event is selected for FD_CONNECT and stays signalled once the attempt
// has completed; the read and write events are the completion events of the overlapped
// receive and send, signalled whenever none is pending. Every wait is one WaitForSingleObject in
// WaitForEvent, bounded by the object's time-out (0xFFFFFFFF, the system's INFINITE, waits one
// millisecond less).
//
// Where this goes further than the plain scheme, and why:
// - A send or receive whose wait times out is cancelled (CancelIoEx) and waited for, bounded,
//   before the call returns: otherwise the system could still write the caller's buffer, and
//   the overlapped record, after the call and its caller have moved on. An operation that
//   completed before the cancellation took hold reports what it moved, so no received byte is
//   lost to a time-out. The records live in the object, so even an operation that the system
//   fails to settle in time writes only memory the object still owns (and keeps its event
//   unsignalled, so the next operation of its kind is refused with 10036 until it settles).
// - A failed or timed-out connect closes the socket, and the next connect starts on a fresh
//   one: the connect event stays signalled after a failure, so a second attempt on the same
//   socket could read the stale outcome as a connection, and Wine refuses a second connect on
//   a refused socket (10053).
// - A send or receive that the system refuses at once signals its event again: nothing is
//   pending, and the next operation must not be refused with 10036.
// - ReleaseEvents ends the socket's event selection before closing the events, so the socket
//   it hands back never signals a closed (or reused) event handle.
#include <winsock2.h>

#include <cstddef>
#include <initializer_list>
#include <new>

#include "net/socket/event_sync_socket.h"
#include "platform/hresult_exception.h"
#include "platform/socket_error.h"

static_assert(kInvalidSocket == INVALID_SOCKET, "one invalid socket value");
static_assert(sizeof(CSocketBuffer) == sizeof(WSABUF) &&
                  offsetof(CSocketBuffer, len) == offsetof(WSABUF, len) &&
                  offsetof(CSocketBuffer, buf) == offsetof(WSABUF, buf),
              "the gather-write descriptors go to the system as they are");

struct CEventSyncSocket::CDirection::CSystemState {
    CRITICAL_SECTION lock;
    WSAOVERLAPPED overlapped;
};

namespace {

enum class WaitResult { kSignalled, kTimedOut, kFailed };

// The least time a cancelled operation is given to settle: cancelling is the system's to
// finish, which can take a few milliseconds under load, and a time-out of 0 would give none.
constexpr DWORD kMinimumSettleMs = 1000;

// Every wait of the socket. kFailed leaves the reason in GetLastError.
WaitResult WaitForEvent(HANDLE event, std::uint32_t timeoutMs) {
    const DWORD bound = timeoutMs < INFINITE ? timeoutMs : INFINITE - 1;
    switch (WaitForSingleObject(event, bound)) {
        case WAIT_OBJECT_0:
            return WaitResult::kSignalled;
        case WAIT_TIMEOUT:
            return WaitResult::kTimedOut;
        default:
            return WaitResult::kFailed;
    }
}

bool IsSignalled(HANDLE event) {
    return WaitForEvent(event, 0) == WaitResult::kSignalled;
}

DWORD SettleBound(std::uint32_t timeoutMs) {
    return timeoutMs > kMinimumSettleMs ? timeoutMs : kMinimumSettleMs;
}

SOCKET AsSystemSocket(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

bool IsSocket(SocketHandle socket) {
    int type = 0;
    int length = sizeof(type);
    return getsockopt(AsSystemSocket(socket), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type),
                      &length) == 0;
}

// AwaitConnection's result when the time-out passed first (no error number is negative).
constexpr std::int32_t kConnectTimedOut = -1;

// The outcome of a connection attempt under way: 0 once connected, the error of its failure,
// or kConnectTimedOut. The network events are read with no event to reset, so the connect
// event stays signalled for the sends and receives that follow.
std::int32_t AwaitConnection(SOCKET socket, HANDLE connectEvent, std::uint32_t timeoutMs) {
    switch (WaitForEvent(connectEvent, timeoutMs)) {
        case WaitResult::kSignalled:
            break;
        case WaitResult::kTimedOut:
            return kConnectTimedOut;
        default:
            return static_cast<std::int32_t>(GetLastError());
    }
    WSANETWORKEVENTS events{};
    if (WSAEnumNetworkEvents(socket, nullptr, &events) != 0) {
        return WSAGetLastError();
    }
    return (events.lNetworkEvents & FD_CONNECT) != 0 ? events.iErrorCode[FD_CONNECT_BIT] : 0;
}

// How an overlapped send or receive ended.
struct COutcome {
    bool done = false;       // completed: transferred is what it moved
    std::int32_t error = 0;  // failed with this error (0 with !done: timed out)
    std::uint32_t transferred = 0;
};

COutcome Collect(SOCKET socket, WSAOVERLAPPED& overlapped) {
    DWORD transferred = 0;
    DWORD flags = 0;
    COutcome outcome;
    outcome.done = WSAGetOverlappedResult(socket, &overlapped, &transferred, FALSE, &flags) != 0;
    outcome.transferred = transferred;
    if (!outcome.done) {
        outcome.error = WSAGetLastError();
    }
    return outcome;
}

// After a time-out: cancels the operation and waits, bounded, until the system has settled it.
// Cancelled, it reads as the time-out (no error); finished meanwhile, as what it did.
COutcome CancelAndSettle(SOCKET socket, HANDLE event, WSAOVERLAPPED& overlapped,
                         std::uint32_t timeoutMs) {
    CancelIoEx(reinterpret_cast<HANDLE>(socket), &overlapped);
    if (WaitForEvent(event, SettleBound(timeoutMs)) != WaitResult::kSignalled) {
        return COutcome();
    }
    COutcome outcome = Collect(socket, overlapped);
    if (outcome.error == WSA_OPERATION_ABORTED) {
        outcome.error = 0;
    }
    return outcome;
}

// Waits for an overlapped operation that WSASend or WSARecv started (their result: started).
COutcome Finish(SOCKET socket, int started, HANDLE event, WSAOVERLAPPED& overlapped,
                std::uint32_t timeoutMs) {
    if (started != 0) {
        const int error = WSAGetLastError();
        if (error != WSA_IO_PENDING) {
            WSASetEvent(event);
            COutcome refused;
            refused.error = error;
            return refused;
        }
    }
    switch (WaitForEvent(event, timeoutMs)) {
        case WaitResult::kSignalled:
            return Collect(socket, overlapped);
        case WaitResult::kTimedOut:
            return CancelAndSettle(socket, event, overlapped, timeoutMs);
        default: {
            const auto error = static_cast<std::int32_t>(GetLastError());
            COutcome failed = CancelAndSettle(socket, event, overlapped, timeoutMs);
            failed.error = failed.done ? 0 : error;
            return failed;
        }
    }
}

// Prepares the direction's record for a new operation whose completion signals event.
WSAOVERLAPPED& FreshRecord(WSAOVERLAPPED& overlapped, HANDLE event) {
    overlapped = WSAOVERLAPPED{};
    overlapped.hEvent = event;
    WSAResetEvent(event);
    return overlapped;
}

}  // namespace

CEventSyncSocket::CDirection::CDirection() {
    try {
        system_ = std::make_unique<CSystemState>();
    } catch (const std::bad_alloc&) {
        throw CHresultException(E_OUTOFMEMORY);
    }
    if (!InitializeCriticalSectionAndSpinCount(&system_->lock, 0)) {
        throw CHresultException(E_OUTOFMEMORY);
    }
}

CEventSyncSocket::CDirection::~CDirection() {
    DeleteCriticalSection(&system_->lock);
}

bool CEventSyncSocket::CDirection::TryEnter() {
    return TryEnterCriticalSection(&system_->lock) != FALSE;
}

void CEventSyncSocket::CDirection::Leave() {
    LeaveCriticalSection(&system_->lock);
}

bool CEventSyncSocket::OpenSocket(int family, int type, int protocol, std::uint32_t extraFlags) {
    if (socket_ != kInvalidSocket) {
        SetLastError(kWsaAlready);
        return false;
    }
    const SOCKET created =
        WSASocketW(family, type, protocol, nullptr, 0, creationFlags_ | (extraFlags & 0xFFFF));
    if (created == INVALID_SOCKET) {
        SetLastError(WSAGetLastError());
        return false;
    }
    return AttachSocket(static_cast<SocketHandle>(created));
}

bool CEventSyncSocket::AttachSocket(SocketHandle socket) {
    // Taking over a second socket would lose the first one without closing it.
    if (socket_ != kInvalidSocket) {
        SetLastError(kWsaAlready);
        return false;
    }
    // A handle that is no socket stays its owner's: the object would otherwise close it.
    if (socket == kInvalidSocket || !IsSocket(socket)) {
        SetLastError(kWsaNotSocket);
        return false;
    }
    socket_ = socket;
    const SOCKET system = AsSystemSocket(socket);
    readEvent_ = WSACreateEvent();
    writeEvent_ = WSACreateEvent();
    connectEvent_ = WSACreateEvent();
    // Each selection replaces the one before: the connect event's for FD_CONNECT stays. The
    // selection also makes the socket non-blocking.
    if (readEvent_ == WSA_INVALID_EVENT || writeEvent_ == WSA_INVALID_EVENT ||
        connectEvent_ == WSA_INVALID_EVENT || !WSASetEvent(writeEvent_) ||
        !WSASetEvent(readEvent_) || WSAEventSelect(system, readEvent_, FD_READ) != 0 ||
        WSAEventSelect(system, writeEvent_, FD_WRITE) != 0 ||
        WSAEventSelect(system, connectEvent_, FD_CONNECT) != 0) {
        SetLastError(static_cast<std::int32_t>(GetLastError()));
        return false;
    }
    return true;
}

bool CEventSyncSocket::ConnectOpenSocket(const sockaddr* address, int addressLength,
                                         std::uint32_t waitMs) {
    const SOCKET system = AsSystemSocket(socket_);
    if (WSAConnect(system, address, addressLength, nullptr, nullptr, nullptr, nullptr) == 0) {
        // Connected at once (loopback can be): the connect event says so to sends and receives.
        WSASetEvent(connectEvent_);
        connected_ = true;
        return true;
    }
    std::int32_t error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
        error = AwaitConnection(system, connectEvent_, waitMs);
    }
    if (error == 0) {
        connected_ = true;
        return true;
    }
    if (error != kConnectTimedOut) {
        SetLastError(error);
    }
    CloseSocket();
    return false;
}

bool CEventSyncSocket::ReadyFor(void* event) {
    if (WaitForEvent(connectEvent_, timeoutMs_) != WaitResult::kSignalled) {
        SetLastError(kWsaNotConnected);
        return false;
    }
    if (!IsSignalled(event)) {
        SetLastError(kWsaInProgress);
        return false;
    }
    return true;
}

bool CEventSyncSocket::SendHeld(const CSocketBuffer* buffers, std::uint32_t count,
                                std::uint32_t& bytesSent) {
    if (!ReadyFor(writeEvent_)) {
        return false;
    }
    const SOCKET system = AsSystemSocket(socket_);
    WSAOVERLAPPED& overlapped = FreshRecord(writeDirection_.System().overlapped, writeEvent_);
    // The descriptors are only read; WSASend takes them through a non-const pointer.
    auto* systemBuffers = reinterpret_cast<WSABUF*>(const_cast<CSocketBuffer*>(buffers));
    DWORD sent = 0;
    const int started = WSASend(system, systemBuffers, count, &sent, 0, &overlapped, nullptr);
    const COutcome outcome = Finish(system, started, writeEvent_, overlapped, timeoutMs_);
    bytesSent = outcome.transferred;
    if (outcome.error != 0) {
        SetLastError(outcome.error);
    }
    return outcome.done;
}

bool CEventSyncSocket::ReceiveHeld(void* buffer, std::uint32_t capacity, std::uint32_t& size) {
    if (!ReadyFor(readEvent_)) {
        return false;
    }
    const SOCKET system = AsSystemSocket(socket_);
    WSAOVERLAPPED& overlapped = FreshRecord(readDirection_.System().overlapped, readEvent_);
    WSABUF one = {capacity, static_cast<char*>(buffer)};
    DWORD received = 0;
    DWORD flags = 0;
    const int started = WSARecv(system, &one, 1, &received, &flags, &overlapped, nullptr);
    const COutcome outcome = Finish(system, started, readEvent_, overlapped, timeoutMs_);
    size = outcome.transferred;
    if (outcome.error != 0) {
        SetLastError(outcome.error);
    }
    return outcome.done;
}

void CEventSyncSocket::CloseSocket() {
    if (socket_ == kInvalidSocket) {
        return;
    }
    connected_ = false;
    closesocket(AsSystemSocket(socket_));
    socket_ = kInvalidSocket;
    // Closing aborts an operation left unsettled; its record is this object's, so it is given
    // the time to settle before the events go.
    for (HANDLE event : {readEvent_, writeEvent_}) {
        if (event != nullptr && !IsSignalled(event)) {
            WaitForEvent(event, SettleBound(timeoutMs_));
        }
    }
    ReleaseEvents();
}

void CEventSyncSocket::ReleaseEvents() {
    if (socket_ != kInvalidSocket) {
        WSAEventSelect(AsSystemSocket(socket_), nullptr, 0);
    }
    for (void** event : {&readEvent_, &writeEvent_, &connectEvent_}) {
        if (*event != nullptr) {
            WSACloseEvent(*event);
            *event = nullptr;
        }
    }
    connected_ = false;
    socket_ = kInvalidSocket;
}
