// CEventSyncSocket on POSIX: a non-blocking socket whose connect, send and receive each wait in
// WaitForSocket, the one place where this file waits, for at most the object's time-out. No
// operation is ever left running in the background: a connect that times out is dissolved
// before returning, and a send or receive is a plain call that has finished when it returns, so
// nothing stays pending after a wait times out and no buffer has to outlive its call. That is
// also why the read and write locks of the Windows build are plain in-progress flags here:
// there is never an earlier operation to wait for.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <new>
#include <vector>

#include "net/socket/event_sync_socket.h"
#include "platform/socket_error.h"
#include "platform/socket_error_map.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class WaitResult { kReady, kTimedOut, kFailed };

Clock::time_point DeadlineAfter(std::uint32_t timeoutMs) {
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

// Every wait of the socket: until the socket reports one of events (or an error or hang-up,
// which the following call then reports) or the deadline passes, never longer. poll takes an int
// of milliseconds, so a long time-out is waited for in slices. kFailed leaves poll's errno.
WaitResult WaitForSocket(int socket, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return WaitResult::kTimedOut;
        }
        pollfd entry = {socket, events, 0};
        const auto slice = static_cast<int>(std::min<std::int64_t>(left.count(), INT_MAX));
        const int ready = poll(&entry, 1, slice);
        if (ready > 0) {
            return WaitResult::kReady;
        }
        if (ready < 0 && errno != EINTR) {
            return WaitResult::kFailed;
        }
    }
}

// Dissolves a connection attempt that timed out or failed: nothing goes on after the call, the
// socket stays open, and a later connect starts afresh on it (without this, the system would
// answer the next connect with the stale outcome of this one).
void DropConnectAttempt(int socket) {
    sockaddr unspecified{};
    unspecified.sa_family = AF_UNSPEC;
    connect(socket, &unspecified, sizeof(unspecified));
}

// AwaitConnection's result when the deadline passed first (no errno value is negative).
constexpr int kConnectTimedOut = -1;

// The outcome of a connection attempt in progress: 0 once connected, the errno of its failure, or
// kConnectTimedOut. A failed wait must not go on to SO_ERROR, which reads 0 while the attempt is
// still in progress and would pass for a connection.
int AwaitConnection(int socket, Clock::time_point deadline) {
    const WaitResult waited = WaitForSocket(socket, POLLOUT, deadline);
    if (waited != WaitResult::kReady) {
        return waited == WaitResult::kTimedOut ? kConnectTimedOut : errno;
    }
    int error = 0;
    socklen_t length = sizeof(error);
    return getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 ? error : errno;
}

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

// The part of the descriptors not sent yet, as an I/O vector for sendmsg.
class CPendingBuffers {
public:
    CPendingBuffers(const CSocketBuffer* buffers, std::uint32_t count) {
        vector_.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (buffers[i].len != 0) {
                vector_.push_back({buffers[i].buf, buffers[i].len});
            }
        }
    }
    bool empty() const { return next_ == vector_.size(); }
    iovec* data() { return vector_.data() + next_; }
    std::size_t size() const { return std::min<std::size_t>(vector_.size() - next_, IOV_MAX); }
    void Consume(std::size_t bytes) {
        while (bytes > 0) {
            iovec& first = vector_[next_];
            const std::size_t taken = std::min(bytes, first.iov_len);
            first.iov_base = static_cast<char*>(first.iov_base) + taken;
            first.iov_len -= taken;
            bytes -= taken;
            if (first.iov_len == 0) {
                ++next_;
            }
        }
    }

private:
    std::vector<iovec> vector_;
    std::size_t next_ = 0;
};

}  // namespace

CEventSyncSocket::CDirection::CDirection() = default;

CEventSyncSocket::CDirection::~CDirection() = default;

bool CEventSyncSocket::CDirection::TryEnter() {
    return !busy_.exchange(true);
}

void CEventSyncSocket::CDirection::Leave() {
    busy_.store(false);
}

bool CEventSyncSocket::OpenSocket(int family, int type, int protocol, std::uint32_t) {
    if (socket_ != kInvalidSocket) {
        SetLastError(kWsaAlready);
        return false;
    }
    const int created = socket(family, type | SOCK_CLOEXEC, protocol);
    if (created < 0) {
        SetLastError(SocketErrorFromErrno(errno));
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
    int type = 0;
    socklen_t length = sizeof(type);
    if (socket == kInvalidSocket || socket > static_cast<SocketHandle>(INT_MAX) ||
        getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_TYPE, &type, &length) != 0) {
        SetLastError(kWsaNotSocket);
        return false;
    }
    socket_ = socket;
    const int descriptor = static_cast<int>(socket);
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags < 0 || fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) != 0) {
        SetLastError(SocketErrorFromErrno(errno));
        return false;
    }
    return true;
}

bool CEventSyncSocket::ConnectOpenSocket(const sockaddr* address, int addressLength,
                                         std::uint32_t waitMs) {
    const int descriptor = static_cast<int>(socket_);
    if (connect(descriptor, address, static_cast<socklen_t>(addressLength)) != 0) {
        // EINTR: the connection goes on being established, as with EINPROGRESS.
        if (errno != EINPROGRESS && errno != EINTR) {
            SetLastError(SocketErrorFromErrno(errno));
            return false;
        }
        const int error = AwaitConnection(descriptor, DeadlineAfter(waitMs));
        if (error != 0) {
            if (error != kConnectTimedOut) {
                SetLastError(SocketErrorFromErrno(error));
            }
            DropConnectAttempt(descriptor);
            return false;
        }
    }
    connected_ = true;
    return true;
}

bool CEventSyncSocket::SendHeld(const CSocketBuffer* buffers, std::uint32_t count,
                                std::uint32_t& bytesSent) {
    try {
        CPendingBuffers pending(buffers, count);
        const int descriptor = static_cast<int>(socket_);
        const auto deadline = DeadlineAfter(timeoutMs_);
        while (!pending.empty()) {
            msghdr message{};
            message.msg_iov = pending.data();
            message.msg_iovlen = pending.size();
            const ssize_t sent = sendmsg(descriptor, &message, MSG_NOSIGNAL);
            if (sent > 0) {
                pending.Consume(static_cast<std::size_t>(sent));
                bytesSent += static_cast<std::uint32_t>(sent);
            } else if (sent < 0 && errno == EINTR) {
                continue;
            } else if (sent < 0 && !WouldBlock(errno)) {
                SetLastError(SocketErrorFromErrno(errno));
                return false;
            } else if (const WaitResult waited = WaitForSocket(descriptor, POLLOUT, deadline);
                       waited != WaitResult::kReady) {
                if (waited == WaitResult::kFailed) {
                    SetLastError(SocketErrorFromErrno(errno));
                }
                return false;
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        SetLastError(kWsaNotEnoughMemory);
        return false;
    }
}

bool CEventSyncSocket::ReceiveHeld(void* buffer, std::uint32_t capacity, std::uint32_t& size) {
    const int descriptor = static_cast<int>(socket_);
    const auto deadline = DeadlineAfter(timeoutMs_);
    for (;;) {
        const ssize_t got = recv(descriptor, buffer, capacity, 0);
        if (got >= 0) {
            size = static_cast<std::uint32_t>(got);
            return true;
        }
        if (errno == EINTR) {
            continue;
        }
        if (!WouldBlock(errno)) {
            SetLastError(SocketErrorFromErrno(errno));
            return false;
        }
        if (const WaitResult waited = WaitForSocket(descriptor, POLLIN, deadline);
            waited != WaitResult::kReady) {
            if (waited == WaitResult::kFailed) {
                SetLastError(SocketErrorFromErrno(errno));
            }
            return false;
        }
    }
}

void CEventSyncSocket::CloseSocket() {
    if (socket_ == kInvalidSocket) {
        return;
    }
    connected_ = false;
    close(static_cast<int>(socket_));
    socket_ = kInvalidSocket;
    ReleaseEvents();
}

void CEventSyncSocket::ReleaseEvents() {
    // There are no event objects on POSIX. The connected flag goes with the socket: an object
    // without a socket must not claim a connection.
    connected_ = false;
    socket_ = kInvalidSocket;
}
