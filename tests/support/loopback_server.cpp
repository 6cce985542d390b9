// CLoopbackServer and CLoopbackConnection, the same on every platform: the reads built on one
// receive (bytes an earlier read fetched past its end come first), the counters and their
// waits, and the accept loop that hands each connection to the handler. The sockets and the
// waits on them are the platform halves' (loopback_server_posix.cpp, _win32.cpp).
#include "tests/support/loopback_server.h"

#include <exception>

#include <gtest/gtest.h>

bool CLoopbackConnection::Fetch(std::string& out, std::size_t maxBytes,
                                Clock::time_point deadline) {
    if (!pending_.empty()) {
        const std::size_t taken = std::min(maxBytes, pending_.size());
        out.append(pending_, 0, taken);
        pending_.erase(0, taken);
        return true;
    }
    if (socket_ == -1 || peerClosed_) {
        return false;
    }
    return ReceiveSome(out, maxBytes, deadline);
}

bool CLoopbackConnection::ReadSome(std::string& out, std::size_t maxBytes) {
    return maxBytes > 0 && Fetch(out, maxBytes, Clock::now() + timeout_);
}

bool CLoopbackConnection::ReadUntil(std::string_view text, std::string& out) {
    const auto deadline = Clock::now() + timeout_;
    std::string got;
    for (;;) {
        const std::size_t found = got.find(text);
        if (found != std::string::npos) {
            const std::size_t end = found + text.size();
            pending_.insert(0, got, end, std::string::npos);
            out.append(got, 0, end);
            return true;
        }
        if (!Fetch(got, 65536, deadline)) {
            out += got;
            return false;
        }
    }
}

bool CLoopbackConnection::ReadExactly(std::size_t count, std::string& out) {
    const auto deadline = Clock::now() + timeout_;
    std::size_t done = 0;
    while (done < count) {
        const std::size_t before = out.size();
        if (!Fetch(out, count - done, deadline)) {
            return false;
        }
        done += out.size() - before;
    }
    return true;
}

bool CLoopbackConnection::ReadAll(std::string& out) {
    const auto deadline = Clock::now() + timeout_;
    while (Fetch(out, 65536, deadline)) {
    }
    return peerClosed_;
}

bool CLoopbackServer::WaitForAccepted(int count, std::chrono::milliseconds timeout) {
    return WaitForCount(accepted_, count, timeout);
}

bool CLoopbackServer::WaitForFinished(int count, std::chrono::milliseconds timeout) {
    return WaitForCount(finished_, count, timeout);
}

bool CLoopbackServer::WaitForCount(const std::atomic<int>& counter, int count,
                                   std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(countMutex_);
    return countChanged_.wait_for(lock, timeout, [&] { return counter.load() >= count; });
}

void CLoopbackServer::Count(std::atomic<int>& counter) {
    {
        std::lock_guard<std::mutex> lock(countMutex_);
        ++counter;
    }
    countChanged_.notify_all();
}

void CLoopbackServer::AcceptLoop() {
    for (;;) {
        const std::intptr_t socket = AcceptNext();
        if (socket == -1) {
            return;
        }
        Count(accepted_);
        {
            CLoopbackConnection connection(socket, WakeHandle(), timeout_);
            try {
                handler_(connection);
            } catch (const std::exception& error) {
                ADD_FAILURE() << "loopback handler threw: " << error.what();
            }
        }
        Count(finished_);
    }
}
