// CEventSyncSocket and its neighbours on Windows only: a receive that timed out is cancelled and
// settled before the call returns (its buffer is never written afterwards, and nothing stays
// pending), the real socket library start-up is balanced, and the resolver table's load takes
// the system resolver from ws2_32 or falls back to the built-in one.
#include <windows.h>

#include <chrono>
#include <future>
#include <string>

#include <gtest/gtest.h>

#include "net/resolve/resolver_table.h"
#include "net/socket/event_sync_socket.h"
#include "net/socket/socket_library_init.h"
#include "tests/net/socket_fixture.h"
#include "tests/support/loopback_server.h"

namespace {

using namespace std::chrono_literals;
using namespace socket_fixture;

// A server that answers nothing until told, then writes `late` and idles.
class CHeldAnswer {
public:
    explicit CHeldAnswer(std::string late)
        : released_(release_.get_future().share()),
          server_(
              [late, released = released_](CLoopbackConnection& connection) {
                  if (released.wait_for(10s) == std::future_status::ready) {
                      connection.Write(late);
                  }
                  connection.Idle();
              },
              Family::kIpv4, 20s) {}
    ~CHeldAnswer() { Release(); }

    std::uint16_t Port() const { return server_.Port(); }
    void Release() {
        if (!releasedOnce_) {
            releasedOnce_ = true;
            release_.set_value();
        }
    }

private:
    std::promise<void> release_;
    std::shared_future<void> released_;
    bool releasedOnce_ = false;
    CLoopbackServer server_;
};

TEST(EventSyncSocketWindows, ATimedOutReceiveLeavesNothingPending) {
    CHeldAnswer server("x");
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    socket.ExchangeTimeout(1000);
    const auto receive = [&socket] {
        char buffer[8];
        std::uint32_t size = sizeof(buffer);
        return socket.ReceiveBytes(buffer, size);
    };
    // Whichever receive comes second finds the first one pending and is refused; the first
    // times out.
    auto first = std::async(std::launch::async, receive);
    auto second = std::async(std::launch::async, receive);
    EXPECT_FALSE(first.get());
    EXPECT_FALSE(second.get());
    EXPECT_EQ(socket.LastError(), 10036);
    server.Release();
    char buffer[8];
    std::uint32_t size = sizeof(buffer);
    ASSERT_TRUE(socket.ReceiveBytes(buffer, size)) << "not refused: " << socket.LastError();
    EXPECT_EQ(std::string(buffer, size), "x");
}

TEST(EventSyncSocketWindows, ATimedOutReceiveNeverWritesItsBufferAfterwards) {
    CHeldAnswer server("late");
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    socket.ExchangeTimeout(kShortTimeoutMs);
    std::string abandoned(16, '#');
    std::uint32_t size = static_cast<std::uint32_t>(abandoned.size());
    ASSERT_FALSE(socket.ReceiveBytes(abandoned.data(), size));
    EXPECT_EQ(size, 0u);
    server.Release();
    socket.ExchangeTimeout(5000);
    EXPECT_EQ(Receive(socket, 4), "late") << "the bytes went to the next receive";
    EXPECT_EQ(abandoned, std::string(16, '#')) << "and never into the abandoned buffer";
}

TEST(SocketLibraryInitWindows, OnlyAStartedLibraryIsCleanedUp) {
    ASSERT_TRUE(SocketLibrary().Start());
    for (int i = 0; i < 3; ++i) {
        CSocketLibraryInit neverStarted;
        EXPECT_FALSE(neverStarted.IsStarted());
    }
    for (int i = 0; i < 3; ++i) {
        CSocketLibraryInit started;
        EXPECT_TRUE(started.Start());
        EXPECT_TRUE(started.Start()) << "started once, however often asked";
    }
    // An unbalanced clean-up above would have ended the process's own start.
    CEventSyncSocket socket;
    EXPECT_TRUE(socket.OpenSocket(kIpv4, kStream, 0, 0)) << socket.LastError();
}

TEST(ResolverTableWindows, TheLoadTakesTheEntryPointsOfWs2_32) {
    ResolverEntry found[kResolverRowCount] = {};
    ASSERT_TRUE(TakeSystemResolverEntries(OpenSystemResolverLibrary(), found));
    const HMODULE library = GetModuleHandleA("ws2_32");
    ASSERT_NE(library, nullptr);
    for (std::size_t row = 0; row < kResolverRowCount; ++row) {
        EXPECT_EQ(found[row],
                  reinterpret_cast<ResolverEntry>(GetProcAddress(library, kResolverRowNames[row])))
            << kResolverRowNames[row];
    }
}

TEST(ResolverTableWindows, WithoutASystemResolverTheBuiltinRowsStay) {
    const std::string tooLong(265, 'f');
    const struct {
        const char* name;
        void* library;
    } cases[] = {
        {"no such folder", OpenSystemResolverLibraryFrom("C:\\no-such-folder")},
        {"path too long for its buffer", OpenSystemResolverLibraryFrom(tooLong.c_str())},
        {"a library without the entry points", LoadLibraryA("kernel32")},
    };
    for (const auto& c : cases) {
        ResolverEntry found[kResolverRowCount] = {};
        EXPECT_FALSE(TakeSystemResolverEntries(c.library, found)) << c.name;
        for (const ResolverEntry entry : found) {
            EXPECT_EQ(entry, nullptr) << c.name;
        }
    }
}

}  // namespace
