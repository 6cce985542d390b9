// CLoopbackServer on Windows: non-blocking sockets whose network events are selected into an
// event object of their own (FD_ACCEPT for the listener; FD_READ, FD_WRITE and FD_CLOSE for a
// connection), and every wait is one WaitForMultipleObjects on that event and the server's
// wake event with the time left before the operation's deadline. Stop sets the wake event and
// nothing resets it, so every wait that follows ends at once.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>

#include "tests/support/loopback_server.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class WaitResult { kReady, kTimedOut, kStopped };

// How long a wait for a socket's network event lasts before the operation is tried anyway.
constexpr DWORD kEventSliceMs = 50;

DWORD MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<DWORD>(std::clamp<std::int64_t>(left.count(), 0, INFINITE - 1));
}

// Waits until the socket's event reports a network event (then read and reset), the wake event
// is set or the deadline passes. The wake event comes first: a stop wins over a ready socket.
// A wait lasts one slice at most and then reads as ready, so the caller tries its operation
// again: Wine now and then leaves a network event unsignalled.
WaitResult WaitFor(SOCKET socket, HANDLE socketEvent, HANDLE wake, Clock::time_point deadline) {
    const DWORD left = MillisecondsUntil(deadline);
    if (left == 0) {
        return WaitResult::kTimedOut;
    }
    const HANDLE handles[2] = {wake, socketEvent};
    switch (WaitForMultipleObjects(2, handles, FALSE, std::min(left, kEventSliceMs))) {
        case WAIT_OBJECT_0 + 1: {
            WSANETWORKEVENTS events{};
            WSAEnumNetworkEvents(socket, socketEvent, &events);
            return WaitResult::kReady;
        }
        case WAIT_TIMEOUT:
            return WaitResult::kReady;
        default:
            return WaitResult::kStopped;
    }
}

SOCKET OpenListener(CLoopbackServer::Family family, HANDLE acceptEvent, std::uint16_t& port) {
    const bool v6 = family == CLoopbackServer::Family::kIpv6;
    const SOCKET listener = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    if (listener == INVALID_SOCKET) {
        return INVALID_SOCKET;
    }
    sockaddr_storage address{};
    int length = 0;
    if (v6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr.s6_addr[15] = 1;  // ::1
        length = sizeof(sockaddr_in6);
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
        in4->sin_family = AF_INET;
        in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof(sockaddr_in);
    }
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        WSAEventSelect(listener, acceptEvent, FD_ACCEPT) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                    : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    return listener;
}

}  // namespace

CLoopbackConnection::CLoopbackConnection(std::intptr_t socket, std::intptr_t wakeHandle,
                                         std::chrono::milliseconds timeout)
    : socket_(socket), wakeHandle_(wakeHandle), timeout_(timeout) {
    // The accepted socket came with the listener's selection; this one replaces it.
    socketEvent_ = WSACreateEvent();
    WSAEventSelect(static_cast<SOCKET>(socket_), socketEvent_, FD_READ | FD_WRITE | FD_CLOSE);
}

CLoopbackConnection::~CLoopbackConnection() {
    Close();
    WSACloseEvent(socketEvent_);
}

bool CLoopbackConnection::ReceiveSome(std::string& out, std::size_t maxBytes,
                                      Clock::time_point deadline) {
    const auto socket = static_cast<SOCKET>(socket_);
    const auto wake = reinterpret_cast<HANDLE>(wakeHandle_);
    char buffer[65536];
    const int room = static_cast<int>(std::min(maxBytes, sizeof(buffer)));
    for (;;) {
        const int got = recv(socket, buffer, room, 0);
        if (got > 0) {
            out.append(buffer, static_cast<std::size_t>(got));
            received_.append(buffer, static_cast<std::size_t>(got));
            return true;
        }
        if (got == 0) {
            peerClosed_ = true;
            return false;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK ||
            WaitFor(socket, socketEvent_, wake, deadline) != WaitResult::kReady) {
            return false;
        }
    }
}

bool CLoopbackConnection::Write(std::string_view bytes) {
    if (socket_ == -1) {
        return false;
    }
    const auto socket = static_cast<SOCKET>(socket_);
    const auto wake = reinterpret_cast<HANDLE>(wakeHandle_);
    const auto deadline = Clock::now() + timeout_;
    while (!bytes.empty()) {
        const int piece = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
        const int sent = send(socket, bytes.data(), piece, 0);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent == 0 || WSAGetLastError() != WSAEWOULDBLOCK ||
            WaitFor(socket, socketEvent_, wake, deadline) != WaitResult::kReady) {
            return false;
        }
    }
    return true;
}

void CLoopbackConnection::Idle() {
    const auto deadline = Clock::now() + timeout_;
    WaitForSingleObject(reinterpret_cast<HANDLE>(wakeHandle_), MillisecondsUntil(deadline));
}

void CLoopbackConnection::ShutdownWrite() {
    if (socket_ != -1) {
        shutdown(static_cast<SOCKET>(socket_), SD_SEND);
    }
}

void CLoopbackConnection::Close() {
    if (socket_ != -1) {
        closesocket(static_cast<SOCKET>(socket_));
        socket_ = -1;
    }
}

void CLoopbackConnection::ResetConnection() {
    if (socket_ != -1) {
        const linger immediate = {1, 0};
        setsockopt(static_cast<SOCKET>(socket_), SOL_SOCKET, SO_LINGER,
                   reinterpret_cast<const char*>(&immediate), sizeof(immediate));
    }
    Close();
}

CLoopbackServer::CLoopbackServer(Handler handler, Family family, std::chrono::milliseconds timeout)
    : handler_(std::move(handler)), timeout_(timeout) {
    if (!library_.Start()) {
        return;
    }
    wakeEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    listenEvent_ = WSACreateEvent();
    if (wakeEvent_ == nullptr || listenEvent_ == WSA_INVALID_EVENT) {
        return;
    }
    const SOCKET listener = OpenListener(family, listenEvent_, port_);
    if (listener != INVALID_SOCKET) {
        listener_ = static_cast<std::intptr_t>(listener);
        thread_ = std::thread([this] { AcceptLoop(); });
    }
}

CLoopbackServer::~CLoopbackServer() {
    Stop();
    if (listener_ != -1) {
        closesocket(static_cast<SOCKET>(listener_));
    }
    if (listenEvent_ != nullptr) {
        WSACloseEvent(listenEvent_);
    }
    if (wakeEvent_ != nullptr) {
        CloseHandle(wakeEvent_);
    }
}

void CLoopbackServer::Stop() {
    std::lock_guard<std::mutex> lock(stopMutex_);
    if (wakeEvent_ != nullptr) {
        SetEvent(wakeEvent_);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::intptr_t CLoopbackServer::WakeHandle() const {
    return reinterpret_cast<std::intptr_t>(wakeEvent_);
}

std::intptr_t CLoopbackServer::AcceptNext() {
    const auto listener = static_cast<SOCKET>(listener_);
    for (;;) {
        const SOCKET accepted = accept(listener, nullptr, nullptr);
        if (accepted != INVALID_SOCKET) {
            return static_cast<std::intptr_t>(accepted);
        }
        // A connection reset before it was taken is passed over; any other failure ends the loop.
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK && error != WSAECONNRESET) {
            return -1;
        }
        // The accept wait itself is bounded only by Stop: the thread lives as long as the server.
        // It is taken in slices with an accept tried after each, since Wine now and then lets an
        // FD_ACCEPT go unsignalled (about one connection in 25 here); such a connection then
        // waits one slice instead of never being taken.
        const HANDLE handles[2] = {wakeEvent_, listenEvent_};
        const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, kEventSliceMs);
        if (woken == WAIT_TIMEOUT) {
            continue;
        }
        if (woken != WAIT_OBJECT_0 + 1) {
            return -1;
        }
        WSANETWORKEVENTS events{};
        WSAEnumNetworkEvents(listener, listenEvent_, &events);
    }
}
