// Shared pieces of the socket tests against loopback servers: patterns, whole sends and
// receives, a known last error, timing, and the usual server handlers.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/socket/event_sync_socket.h"
#include "tests/support/loopback_server.h"

namespace socket_fixture {

using Clock = std::chrono::steady_clock;
using Family = CLoopbackServer::Family;

constexpr int kIpv4 = 2;
constexpr int kStream = 1;
// A short time-out for the tests that wait for one to pass, and the bounds its wait must keep.
constexpr std::uint32_t kShortTimeoutMs = 200;
constexpr auto kShortest = std::chrono::milliseconds(190);
constexpr auto kLongest = std::chrono::seconds(2);

inline std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (char& byte : bytes) {
        state = state * 214013u + 2531011u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

inline bool Send(CEventSyncSocket& socket, const std::string& bytes) {
    std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    return socket.SendBytes(bytes.data(), size) && size == bytes.size();
}

// Receives until `count` bytes arrived, the peer closed or a receive failed.
inline std::string Receive(CEventSyncSocket& socket, std::size_t count) {
    std::string got;
    std::vector<char> block(65536);
    while (got.size() < count) {
        std::uint32_t size = static_cast<std::uint32_t>(block.size());
        if (!socket.ReceiveBytes(block.data(), size) || size == 0) {
            break;
        }
        got.append(block.data(), size);
    }
    return got;
}

// Leaves a known non-zero code in the last-error field: OpenSocket on an open socket.
inline void MarkLastError(CEventSyncSocket& socket) {
    ASSERT_FALSE(socket.OpenSocket(kIpv4, kStream, 0, 0));
    ASSERT_EQ(socket.LastError(), 10037);
}

// Runs call and returns how long it took.
template <typename Call>
Clock::duration Timed(Call call) {
    const auto start = Clock::now();
    call();
    return Clock::now() - start;
}

// Accepts and then neither reads nor writes until the server ends. The connection's own limit
// is only a safety net, far beyond any wait of a test: were it to pass first (setting a test up
// can take seconds on a loaded machine), the close would reset the connection under the test.
constexpr auto kIdleLimit = std::chrono::seconds(60);
inline void StayIdle(CLoopbackConnection& connection) {
    connection.Idle();
}

inline void EchoPing(CLoopbackConnection& connection) {
    std::string got;
    if (connection.ReadUntil("ping", got)) {
        connection.Write("pong");
    }
}

}  // namespace socket_fixture
