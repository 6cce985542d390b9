// CEventSyncSocket against loopback servers on 127.0.0.1 and ::1: connecting, the codes of the
// refused, unconnected, doubled and concurrent cases, time-outs that end on time and leave the
// last error alone, large transfers, resets, reuse, and the socket library's start-up.
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/socket/event_sync_socket.h"
#include "net/socket/socket_library_init.h"
#include "tests/net/socket_fixture.h"
#include "tests/support/loopback_server.h"
#include "tests/support/non_socket_handle.h"
#include "tests/support/raw_socket.h"
#include "tests/support/stalled_listener.h"

namespace {

using namespace std::chrono_literals;
using namespace socket_fixture;

TEST(EventSyncSocket, ConnectsAndExchangesOverIpv4AndIpv6) {
    const std::pair<Family, const char16_t*> cases[] = {{Family::kIpv4, u"127.0.0.1"},
                                                        {Family::kIpv6, u"::1"}};
    for (const auto& [family, host] : cases) {
        CLoopbackServer server(&EchoPing, family);
        if (!server.IsListening()) {
            ASSERT_EQ(family, Family::kIpv6) << "no IPv4 loopback";
            continue;
        }
        CEventSyncSocket socket;
        ASSERT_TRUE(socket.ConnectTo(host, server.Port()));
        EXPECT_EQ(socket.LastError(), 0);
        char pi[] = "pi";
        char ng[] = "ng";
        const CSocketBuffer buffers[] = {{2, pi}, {0, nullptr}, {2, ng}};
        std::uint32_t sent = 99;
        ASSERT_TRUE(socket.SendBuffers(buffers, 3, sent));
        EXPECT_EQ(sent, 4u);
        EXPECT_EQ(Receive(socket, 4), "pong");
    }
}

TEST(EventSyncSocket, ConnectToOnAConnectedObjectNeitherResolvesNorConnects) {
    CLoopbackServer server(&EchoPing);
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    MarkLastError(socket);
    EXPECT_TRUE(socket.ConnectTo(u"unresolvable.invalid", 1));
    EXPECT_EQ(socket.LastError(), 10037) << "no resolution took place";
    ASSERT_TRUE(Send(socket, "ping"));
    EXPECT_EQ(Receive(socket, 4), "pong") << "still the first connection";
    EXPECT_EQ(server.AcceptedCount(), 1);
}

// POSIX dissolves the refused attempt and tries again on the same socket; Windows closes it
// and tries again on a fresh one (the connect event would still report the refusal, and Wine
// refuses a second connect on a refused socket).
TEST(EventSyncSocket, ARefusedConnectionCanBeTriedAgain) {
#ifdef _WIN32
    constexpr bool kSameSocketKept = false;
#else
    constexpr bool kSameSocketKept = true;
#endif
    std::uint16_t closedPort = 0;
    {
        CLoopbackServer gone(&EchoPing);
        closedPort = gone.Port();
    }
    CRawSocket own;
    ASSERT_TRUE(own.IsValid());
    const SocketHandle attached = own.Release();
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.AttachSocket(attached));
    EXPECT_FALSE(socket.ConnectTo(u"127.0.0.1", closedPort));
    EXPECT_EQ(socket.LastError(), 10061);
    EXPECT_EQ(CRawSocket::IsOpen(attached), kSameSocketKept);
    CLoopbackServer server(&EchoPing);
    EXPECT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()))
        << "tried again: " << socket.LastError();
    ASSERT_TRUE(Send(socket, "ping"));
    EXPECT_EQ(Receive(socket, 4), "pong");
}

TEST(EventSyncSocket, SendAndReceiveWithoutAConnectionGive10057) {
    CEventSyncSocket fresh;
    CEventSyncSocket opened;
    ASSERT_TRUE(opened.OpenSocket(kIpv4, kStream, 0, 0));
    for (CEventSyncSocket* socket : {&fresh, &opened}) {
        char buffer[16] = {};
        std::uint32_t size = sizeof(buffer);
        const auto waited = Timed([&] { EXPECT_FALSE(socket->SendBytes(buffer, size)); });
        EXPECT_EQ(socket->LastError(), 10057);
        EXPECT_EQ(size, 0u);
        size = sizeof(buffer);
        EXPECT_FALSE(socket->ReceiveBytes(buffer, size));
        EXPECT_EQ(socket->LastError(), 10057);
        EXPECT_EQ(size, 0u);
        EXPECT_LT(waited, kLongest) << "nothing to wait for";
    }
}

TEST(EventSyncSocket, OpenSocketTwiceKeepsTheFirst) {
    CLoopbackServer server(&EchoPing);
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.OpenSocket(kIpv4, kStream, 0, 0));
    EXPECT_FALSE(socket.OpenSocket(kIpv4, kStream, 0, 0));
    EXPECT_EQ(socket.LastError(), 10037);
    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    ASSERT_TRUE(Send(socket, "ping"));
    EXPECT_EQ(Receive(socket, 4), "pong");
}

TEST(EventSyncSocket, OpenSocketReportsTheSystemsRefusal) {
    CEventSyncSocket socket;
    EXPECT_FALSE(socket.OpenSocket(12345, kStream, 0, 0));
    EXPECT_EQ(socket.LastError(), 10047);
    EXPECT_FALSE(socket.OpenSocket(kIpv4, 77, 0, 0));
    EXPECT_NE(socket.LastError(), 0);
}

TEST(EventSyncSocket, AttachSocketTakesOnlySockets) {
    CNonSocketHandle notASocket;
    ASSERT_TRUE(notASocket.IsOpen());
    const SocketHandle notSockets[] = {kInvalidSocket, notASocket.Handle(),
                                       CRawSocket::ClosedSocketNumber(), SocketHandle{1} << 40};
    for (const SocketHandle handle : notSockets) {
        CEventSyncSocket socket;
        EXPECT_FALSE(socket.AttachSocket(handle)) << handle;
        EXPECT_EQ(socket.LastError(), 10038) << handle;
    }
    EXPECT_TRUE(notASocket.IsOpen()) << "a refused handle stays open";

    CRawSocket first;
    CRawSocket second;
    ASSERT_TRUE(first.IsValid() && second.IsValid());
    SocketHandle attached = first.Handle();
    {
        CEventSyncSocket socket;
        ASSERT_TRUE(socket.AttachSocket(attached));
        EXPECT_FALSE(socket.AttachSocket(second.Handle()));
        EXPECT_EQ(socket.LastError(), 10037);
        socket.ReleaseEvents();
        EXPECT_TRUE(CRawSocket::IsOpen(attached)) << "released, not closed";
        attached = first.Release();
        ASSERT_TRUE(socket.AttachSocket(attached));
    }
    EXPECT_FALSE(CRawSocket::IsOpen(attached)) << "the object closed what it owned";
    EXPECT_TRUE(CRawSocket::IsOpen(second.Handle())) << "the refused socket stays the caller's";
}

TEST(EventSyncSocket, ReleaseEventsHandsTheSocketBackAndForgetsTheConnection) {
    CLoopbackServer server(&EchoPing);
    CRawSocket own;
    ASSERT_TRUE(own.IsValid());
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.AttachSocket(own.Handle()));
    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    socket.ReleaseEvents();
    EXPECT_TRUE(CRawSocket::IsOpen(own.Handle())) << "released, not closed";
    own.Close();  // ends the first connection, so the server accepts the next one
    EXPECT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    EXPECT_TRUE(server.WaitForAccepted(2, 5s)) << "a new connection, not the released one";
    ASSERT_TRUE(Send(socket, "ping"));
    EXPECT_EQ(Receive(socket, 4), "pong");
}

TEST(EventSyncSocket, ReceiveGivesZeroBytesOnceThePeerClosed) {
    CLoopbackServer server([](CLoopbackConnection& connection) { connection.Write("bye"); });
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    EXPECT_EQ(Receive(socket, 100), "bye");
    for (int i = 0; i < 2; ++i) {
        char buffer[8];
        std::uint32_t size = sizeof(buffer);
        EXPECT_TRUE(socket.ReceiveBytes(buffer, size));
        EXPECT_EQ(size, 0u);
    }
}

TEST(EventSyncSocket, ReceiveTimesOutOnTimeAndKeepsTheLastError) {
    CLoopbackServer server(&StayIdle, Family::kIpv4, kIdleLimit);
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    socket.ExchangeTimeout(kShortTimeoutMs);
    MarkLastError(socket);
    char buffer[64];
    std::uint32_t size = sizeof(buffer);
    const auto waited = Timed([&] { EXPECT_FALSE(socket.ReceiveBytes(buffer, size)); });
    EXPECT_EQ(socket.LastError(), 10037);
    EXPECT_EQ(size, 0u);
    EXPECT_GE(waited, kShortest);
    EXPECT_LT(waited, kLongest);
}

TEST(EventSyncSocket, SendTimesOutAgainstAPeerThatNeverReads) {
    const std::string bytes = Pattern(64 << 20, 1);
    CLoopbackServer server(&StayIdle, Family::kIpv4, kIdleLimit);
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    socket.ExchangeTimeout(kShortTimeoutMs);
    MarkLastError(socket);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
        const auto waited = Timed([&] { EXPECT_FALSE(socket.SendBytes(bytes.data(), size)); });
        EXPECT_EQ(socket.LastError(), 10037) << "a time-out, and no earlier send left pending";
        EXPECT_LT(size, bytes.size()) << "bytes that went out before the time-out are counted";
        EXPECT_GE(waited, kShortest);
        EXPECT_LT(waited, kLongest);
    }
}

TEST(EventSyncSocket, ConnectTimesOutOnTimeAndKeepsTheLastError) {
    CStalledListener stalled;
    ASSERT_TRUE(stalled.IsReady());
    CEventSyncSocket socket;
    socket.ExchangeTimeout(kShortTimeoutMs);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto waited =
            Timed([&] { EXPECT_FALSE(socket.ConnectTo(u"127.0.0.1", stalled.Port())); });
        EXPECT_EQ(socket.LastError(), 0) << "left as the successful resolution set it";
        EXPECT_GE(waited, kShortest);
        EXPECT_LT(waited, kLongest);
    }
    CLoopbackServer server(&EchoPing);
    EXPECT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()))
        << "the same socket connects elsewhere once the attempt was dropped";
    ASSERT_TRUE(Send(socket, "ping"));
    EXPECT_EQ(Receive(socket, 4), "pong");
}

TEST(EventSyncSocket, ASecondSendOrReceiveAtTheSameTimeIsRefused) {
    constexpr std::size_t kSendSize = 64 << 20;  // far more than the socket buffers hold
    const std::string bytes = Pattern(kSendSize, 5);
    const struct {
        const char* name;
        // What the server does, once told to, so that the operation held up can finish.
        std::function<void(CLoopbackConnection&)> release;
        std::function<bool(CEventSyncSocket&)> operation;
    } cases[] = {
        {"receive", [](CLoopbackConnection& connection) { connection.Write("x"); },
         [](CEventSyncSocket& socket) {
             char buffer[8];
             std::uint32_t size = sizeof(buffer);
             return socket.ReceiveBytes(buffer, size) && size == 1;
         }},
        {"send",
         [](CLoopbackConnection& connection) {
             std::string got;
             connection.ReadExactly(kSendSize, got);
         },
         [&bytes](CEventSyncSocket& socket) { return Send(socket, bytes); }},
    };
    for (const auto& c : cases) {
        std::promise<void> releaseNow;
        auto released = releaseNow.get_future().share();
        CLoopbackServer server(
            [&c, released](CLoopbackConnection& connection) {
                if (released.wait_for(10s) == std::future_status::ready) {
                    c.release(connection);
                }
                connection.Idle();
            },
            Family::kIpv4, 20s);
        CEventSyncSocket socket;
        ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port())) << c.name;
        // Whichever call comes second finds the first one held up by the server, which lets it
        // finish only once one of the two has returned.
        auto first = std::async(std::launch::async, [&] { return c.operation(socket); });
        auto second = std::async(std::launch::async, [&] { return c.operation(socket); });
        const auto deadline = Clock::now() + 10s;
        while (first.wait_for(1ms) != std::future_status::ready &&
               second.wait_for(1ms) != std::future_status::ready && Clock::now() < deadline) {
        }
        EXPECT_EQ(socket.LastError(), 10036) << c.name;
        releaseNow.set_value();
        const bool results[] = {first.get(), second.get()};
        EXPECT_NE(results[0], results[1]) << c.name << ": one must finish, the other be refused";
        EXPECT_EQ(socket.LastError(), 10036) << c.name;
    }
}

TEST(EventSyncSocket, SixteenMebibytesEachWayAtTheSameTime) {
    constexpr std::size_t kSize = 16 << 20;
    CLoopbackServer server(
        [](CLoopbackConnection& connection) {
            std::string block;
            for (std::size_t echoed = 0; echoed < kSize; echoed += block.size()) {
                block.clear();
                if (!connection.ReadSome(block) || !connection.Write(block)) {
                    return;
                }
            }
        },
        Family::kIpv4, 20s);
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    const std::string sent = Pattern(kSize, 7);
    auto receiving = std::async(std::launch::async, [&socket] { return Receive(socket, kSize); });
    EXPECT_TRUE(Send(socket, sent));
    const std::string received = receiving.get();
    ASSERT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent) << "bytes differ";
}

TEST(EventSyncSocket, PeerResetEndsASendAndAReceiveWithAnError) {
    CLoopbackServer server([](CLoopbackConnection& connection) {
        std::string got;
        connection.ReadSome(got);
        connection.ResetConnection();
    });
    CEventSyncSocket sender;
    ASSERT_TRUE(sender.ConnectTo(u"127.0.0.1", server.Port()));
    sender.ExchangeTimeout(2000);
    const std::string bytes = Pattern(64 << 20, 3);
    std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    EXPECT_FALSE(sender.SendBytes(bytes.data(), size));
    // POSIX and Windows end the send with the reset. Wine leaves a send that is waiting for
    // room running when the peer resets, so it times out, and the next send reports the reset.
    if (sender.LastError() != 10054) {
        size = static_cast<std::uint32_t>(bytes.size());
        EXPECT_FALSE(sender.SendBytes(bytes.data(), size));
    }
    EXPECT_EQ(sender.LastError(), 10054);

    CLoopbackServer resetter([](CLoopbackConnection& connection) {
        std::string got;
        connection.ReadUntil("x", got);
        connection.ResetConnection();
    });
    CEventSyncSocket receiver;
    ASSERT_TRUE(receiver.ConnectTo(u"127.0.0.1", resetter.Port()));
    ASSERT_TRUE(Send(receiver, "x"));
    char buffer[8];
    size = sizeof(buffer);
    const bool received = receiver.ReceiveBytes(buffer, size);
#ifdef _WIN32
    // Wine now and then completes a pending receive on a reset connection as the peer's orderly
    // close (true, 0 bytes, no error); Windows reports the reset, as POSIX does.
    const bool endedAsClose = received && size == 0;
#else
    const bool endedAsClose = false;
#endif
    if (!endedAsClose) {
        EXPECT_FALSE(received);
        EXPECT_EQ(receiver.LastError(), 10054);
    }
}

TEST(EventSyncSocket, BadArgumentsEndInACode) {
    CLoopbackServer server(&StayIdle, Family::kIpv4, kIdleLimit);
    CEventSyncSocket socket;
    EXPECT_FALSE(socket.ConnectTo(nullptr, server.Port()));
    EXPECT_EQ(socket.LastError(), 8);
    EXPECT_FALSE(socket.ConnectTo(std::u16string(5000, u'h').c_str(), server.Port()));
    EXPECT_NE(socket.LastError(), 0);
    EXPECT_FALSE(socket.ConnectToAddress(nullptr));
    EXPECT_EQ(socket.LastError(), 10014);
    EXPECT_FALSE(socket.ConnectTo(u"127.0.0.1", 0));
    EXPECT_EQ(socket.LastError(), 10061);
    socket.CloseSocket();

    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    std::uint32_t sent = 5;
    EXPECT_TRUE(socket.SendBuffers(nullptr, 0, sent));
    EXPECT_EQ(sent, 0u);
    EXPECT_FALSE(socket.SendBuffers(nullptr, 1, sent));
    EXPECT_EQ(socket.LastError(), 10014);
    const CSocketBuffer hollow = {4, nullptr};
    EXPECT_FALSE(socket.SendBuffers(&hollow, 1, sent));
    EXPECT_EQ(socket.LastError(), 10014);
    char block[2] = {};
    const CSocketBuffer huge[] = {{0xFFFFFFFFu, block}, {2, block}};
    EXPECT_FALSE(socket.SendBuffers(huge, 2, sent));
    EXPECT_EQ(socket.LastError(), 10022);
    std::uint32_t size = 8;
    EXPECT_FALSE(socket.ReceiveBytes(nullptr, size));
    EXPECT_EQ(socket.LastError(), 10014);
    size = 0;
    EXPECT_FALSE(socket.ReceiveBytes(block, size)) << "no room must not read as a close";
    EXPECT_EQ(socket.LastError(), 10022);
}

TEST(EventSyncSocket, AnObjectConnectsAgainAfterCloseSocket) {
    CLoopbackServer server(&EchoPing);
    CEventSyncSocket socket;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port())) << round;
        ASSERT_TRUE(Send(socket, "ping"));
        EXPECT_EQ(Receive(socket, 4), "pong");
        socket.CloseSocket();
        char buffer[4];
        std::uint32_t size = sizeof(buffer);
        EXPECT_FALSE(socket.ReceiveBytes(buffer, size));
        EXPECT_EQ(socket.LastError(), 10057);
    }
    socket.CloseSocket();
    EXPECT_TRUE(server.WaitForAccepted(3, 5s));
}

TEST(EventSyncSocket, TimeoutStartsAtTenSecondsAndIsExchanged) {
    CEventSyncSocket socket;
    EXPECT_EQ(socket.ExchangeTimeout(250), 10000u);
    EXPECT_EQ(socket.ExchangeTimeout(0), 250u);
    EXPECT_EQ(socket.ExchangeTimeout(10000), 0u);
}

TEST(EventSyncSocket, OnlyHttpIsSupported) {
    CEventSyncSocket socket;
    for (const UrlSchemeKind kind : {SchemeUnknown, SchemeFtp, SchemeGopher, SchemeHttps,
                                     SchemeFile, SchemeNews, SchemeMailto, SchemeSocks}) {
        EXPECT_FALSE(socket.IsSchemeSupported(kind)) << kind;
    }
    EXPECT_TRUE(socket.IsSchemeSupported(SchemeHttp));
}

// Counters of the fake platform calls below.
int g_startups = 0;
int g_cleanups = 0;
std::int32_t g_startupResult = 0;

std::int32_t CountingStartup(std::uint16_t version) {
    EXPECT_EQ(version, 0x0002);
    ++g_startups;
    return g_startupResult;
}

void CountingCleanup() {
    ++g_cleanups;
}

TEST(SocketLibraryInit, StartsOnceAndCleansUpOnlyIfStarted) {
    g_startups = g_cleanups = 0;
    g_startupResult = 0;
    {
        CSocketLibraryInit library(&CountingStartup, &CountingCleanup);
        EXPECT_FALSE(library.IsStarted());
        EXPECT_EQ(library.State(), 10014);
        for (int i = 0; i < 5; ++i) {
            EXPECT_TRUE(library.Start());
        }
        EXPECT_EQ(g_startups, 1);
    }
    EXPECT_EQ(g_cleanups, 1);

    g_startups = g_cleanups = 0;
    g_startupResult = 10091;
    {
        CSocketLibraryInit library(&CountingStartup, &CountingCleanup);
        EXPECT_FALSE(library.Start());
        EXPECT_EQ(library.State(), 10091);
        EXPECT_FALSE(library.Start());
        EXPECT_EQ(g_startups, 2) << "a failed start is tried again";
    }
    EXPECT_EQ(g_cleanups, 0);

    g_startups = 0;
    {
        CSocketLibraryInit library(&CountingStartup, &CountingCleanup);
        EXPECT_FALSE(library.Start());
        g_startupResult = 0;
        EXPECT_TRUE(library.Start());
        EXPECT_TRUE(library.Start());
        EXPECT_EQ(g_startups, 2);
    }
    EXPECT_EQ(g_cleanups, 1);
}

TEST(SocketLibraryInit, TheProcessLibraryIsStartedBySocketObjects) {
    std::vector<std::unique_ptr<CEventSyncSocket>> sockets;
    for (int i = 0; i < 20; ++i) {
        sockets.push_back(std::make_unique<CEventSyncSocket>());
        EXPECT_TRUE(SocketLibrary().IsStarted());
    }
}

}  // namespace
