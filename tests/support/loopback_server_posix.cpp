// CLoopbackServer on POSIX: non-blocking sockets, and every wait is one poll() on the socket
// and the server's wake pipe with the time left before the operation's deadline. Stop writes
// one byte into the pipe and never reads it, so the pipe stays readable and every wait that
// follows ends at once.
#include "tests/support/loopback_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

enum class WaitResult { kReady, kTimedOut, kStopped };

// Waits until fd reports one of events, the wake pipe is readable or the deadline passes.
WaitResult WaitFor(int fd, short events, int wake, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return WaitResult::kTimedOut;
        }
        pollfd fds[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
        const int count = poll(fds, 2, static_cast<int>(left.count()));
        if (count < 0 && errno != EINTR) {
            return WaitResult::kStopped;
        }
        if (count > 0) {
            return fds[1].revents != 0 ? WaitResult::kStopped : WaitResult::kReady;
        }
    }
}

void SetNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

int OpenListener(CLoopbackServer::Family family, std::uint16_t& port) {
    const bool v6 = family == CLoopbackServer::Family::kIpv6;
    const int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_storage address{};
    socklen_t length = 0;
    if (v6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_loopback;
        length = sizeof(sockaddr_in6);
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
        in4->sin_family = AF_INET;
        in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof(sockaddr_in);
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                    : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    SetNonBlocking(fd);
    return fd;
}

}  // namespace

CLoopbackConnection::CLoopbackConnection(std::intptr_t socket, std::intptr_t wakeHandle,
                                         std::chrono::milliseconds timeout)
    : socket_(socket), wakeHandle_(wakeHandle), timeout_(timeout) {}

CLoopbackConnection::~CLoopbackConnection() {
    Close();
}

bool CLoopbackConnection::ReceiveSome(std::string& out, std::size_t maxBytes,
                                      Clock::time_point deadline) {
    const int fd = static_cast<int>(socket_);
    char buffer[65536];
    for (;;) {
        const ssize_t got = recv(fd, buffer, std::min(maxBytes, sizeof(buffer)), 0);
        if (got > 0) {
            out.append(buffer, static_cast<std::size_t>(got));
            received_.append(buffer, static_cast<std::size_t>(got));
            return true;
        }
        if (got == 0) {
            peerClosed_ = true;
            return false;
        }
        if (errno == EINTR) {
            continue;
        }
        if ((errno != EAGAIN && errno != EWOULDBLOCK) ||
            WaitFor(fd, POLLIN, static_cast<int>(wakeHandle_), deadline) != WaitResult::kReady) {
            return false;
        }
    }
}

bool CLoopbackConnection::Write(std::string_view bytes) {
    if (socket_ == -1) {
        return false;
    }
    const int fd = static_cast<int>(socket_);
    const auto deadline = Clock::now() + timeout_;
    while (!bytes.empty()) {
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) ||
            WaitFor(fd, POLLOUT, static_cast<int>(wakeHandle_), deadline) != WaitResult::kReady) {
            return false;
        }
    }
    return true;
}

void CLoopbackConnection::Idle() {
    const auto deadline = Clock::now() + timeout_;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return;
        }
        pollfd wake = {static_cast<int>(wakeHandle_), POLLIN, 0};
        const int count = poll(&wake, 1, static_cast<int>(left.count()));
        if (count > 0 || (count < 0 && errno != EINTR)) {
            return;
        }
    }
}

void CLoopbackConnection::ShutdownWrite() {
    if (socket_ != -1) {
        shutdown(static_cast<int>(socket_), SHUT_WR);
    }
}

void CLoopbackConnection::Close() {
    if (socket_ != -1) {
        close(static_cast<int>(socket_));
        socket_ = -1;
    }
}

void CLoopbackConnection::ResetConnection() {
    if (socket_ != -1) {
        const linger immediate = {1, 0};
        setsockopt(static_cast<int>(socket_), SOL_SOCKET, SO_LINGER, &immediate, sizeof(immediate));
    }
    Close();
}

CLoopbackServer::CLoopbackServer(Handler handler, Family family, std::chrono::milliseconds timeout)
    : handler_(std::move(handler)), timeout_(timeout) {
    int pipeEnds[2];
    if (!library_.Start() || pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    wakeRead_ = pipeEnds[0];
    wakeWrite_ = pipeEnds[1];
    listener_ = OpenListener(family, port_);
    if (listener_ != -1) {
        thread_ = std::thread([this] { AcceptLoop(); });
    }
}

CLoopbackServer::~CLoopbackServer() {
    Stop();
    if (listener_ != -1) {
        close(static_cast<int>(listener_));
    }
    if (wakeRead_ != -1) {
        close(wakeRead_);
        close(wakeWrite_);
    }
}

void CLoopbackServer::Stop() {
    std::lock_guard<std::mutex> lock(stopMutex_);
    if (wakeWrite_ != -1) {
        const char byte = 0;
        [[maybe_unused]] const ssize_t ignored = write(wakeWrite_, &byte, 1);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::intptr_t CLoopbackServer::WakeHandle() const {
    return wakeRead_;
}

std::intptr_t CLoopbackServer::AcceptNext() {
    const int listener = static_cast<int>(listener_);
    for (;;) {
        // The accept wait itself is bounded only by Stop: the thread lives as long as the server.
        pollfd fds[2] = {{listener, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            return -1;
        }
        if (fds[1].revents != 0) {
            return -1;
        }
        const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            return fd;
        }
    }
}
