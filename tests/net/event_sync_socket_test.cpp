// CEventSyncSocket against loopback servers on 127.0.0.1 and ::1: connecting, the codes of the
// refused, unconnected, doubled and concurrent cases, time-outs that end on time and leave the
// last error alone, large transfers, resets, reuse, and the socket library's start-up.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "net/event_sync_socket.h"
#include "net/socket_library_init.h"
#include "tests/support/loopback_server.h"
#include "tests/support/stalled_listener.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Family = CLoopbackServer::Family;

constexpr int kIpv4 = 2;
constexpr int kStream = 1;
// A short time-out for the tests that wait for one to pass, and the bounds its wait must keep.
constexpr std::uint32_t kShortTimeoutMs = 200;
constexpr auto kShortest = 190ms;
constexpr auto kLongest = 2s;

std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (char& byte : bytes) {
        state = state * 214013u + 2531011u;
        byte = static_cast<char>(state >> 16);
    }
    return bytes;
}

bool Send(CEventSyncSocket& socket, const std::string& bytes) {
    std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    return socket.SendBytes(bytes.data(), size) && size == bytes.size();
}

// Receives until `count` bytes arrived, the peer closed or a receive failed.
std::string Receive(CEventSyncSocket& socket, std::size_t count) {
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
void MarkLastError(CEventSyncSocket& socket) {
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
constexpr auto kIdleLimit = 60s;
void StayIdle(CLoopbackConnection& connection) {
    connection.Idle();
}

void EchoPing(CLoopbackConnection& connection) {
    std::string got;
    if (connection.ReadUntil("ping", got)) {
        connection.Write("pong");
    }
}

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

TEST(EventSyncSocket, RefusedConnectionKeepsTheSocketForAnotherTry) {
    std::uint16_t closedPort = 0;
    {
        CLoopbackServer gone(&EchoPing);
        closedPort = gone.Port();
    }
    CEventSyncSocket socket;
    EXPECT_FALSE(socket.ConnectTo(u"127.0.0.1", closedPort));
    EXPECT_EQ(socket.LastError(), 10061);
    CLoopbackServer server(&EchoPing);
    EXPECT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()))
        << "tried again on that socket: " << socket.LastError();
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
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const int closedNumber = dup(pipeEnds[0]);
    close(closedNumber);
    const SocketHandle notSockets[] = {kInvalidSocket, static_cast<SocketHandle>(pipeEnds[0]),
                                       static_cast<SocketHandle>(closedNumber),
                                       SocketHandle{1} << 40};
    for (const SocketHandle handle : notSockets) {
        CEventSyncSocket socket;
        EXPECT_FALSE(socket.AttachSocket(handle)) << handle;
        EXPECT_EQ(socket.LastError(), 10038) << handle;
    }
    close(pipeEnds[0]);
    close(pipeEnds[1]);

    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    {
        CEventSyncSocket socket;
        ASSERT_TRUE(socket.AttachSocket(static_cast<SocketHandle>(pair[0])));
        EXPECT_FALSE(socket.AttachSocket(static_cast<SocketHandle>(pair[1])));
        EXPECT_EQ(socket.LastError(), 10037);
        socket.ReleaseEvents();
        EXPECT_NE(fcntl(pair[0], F_GETFD), -1) << "released, not closed";
        ASSERT_TRUE(socket.AttachSocket(static_cast<SocketHandle>(pair[0])));
    }
    EXPECT_EQ(fcntl(pair[0], F_GETFD), -1) << "the object closed what it owned";
    EXPECT_NE(fcntl(pair[1], F_GETFD), -1) << "the refused socket stays the caller's";
    close(pair[1]);
}

TEST(EventSyncSocket, ReleaseEventsHandsTheSocketBackAndForgetsTheConnection) {
    CLoopbackServer server(&EchoPing);
    const int own = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(own, 0);
    CEventSyncSocket socket;
    ASSERT_TRUE(socket.AttachSocket(static_cast<SocketHandle>(own)));
    ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port()));
    socket.ReleaseEvents();
    EXPECT_NE(fcntl(own, F_GETFD), -1) << "released, not closed";
    close(own);  // ends the first connection, so the server accepts the next one
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

// Lowers the open-file limit to 0 for its lifetime: poll on one descriptor then fails (EINVAL).
class CNoDescriptorsAllowed {
public:
    CNoDescriptorsAllowed() {
        ok_ = getrlimit(RLIMIT_NOFILE, &saved_) == 0;
        rlimit none = saved_;
        none.rlim_cur = 0;
        ok_ = ok_ && setrlimit(RLIMIT_NOFILE, &none) == 0;
    }
    ~CNoDescriptorsAllowed() { setrlimit(RLIMIT_NOFILE, &saved_); }
    bool ok() const { return ok_; }

private:
    rlimit saved_{};
    bool ok_ = false;
};

TEST(EventSyncSocket, AFailedWaitIsAnErrorNeitherAConnectionNorATimeOut) {
    CStalledListener stalled;
    ASSERT_TRUE(stalled.IsReady());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(stalled.Port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    CEventSyncSocket connecting;
    ASSERT_TRUE(connecting.OpenSocket(kIpv4, kStream, 0, 0));
    {
        CNoDescriptorsAllowed limit;
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(
            connecting.ConnectRaw(reinterpret_cast<const sockaddr*>(&address), sizeof(address)))
            << "the attempt is still in progress";
    }
    EXPECT_EQ(connecting.LastError(), 10022);

    CLoopbackServer server(&StayIdle, Family::kIpv4, kIdleLimit);
    CEventSyncSocket receiving;
    ASSERT_TRUE(receiving.ConnectTo(u"127.0.0.1", server.Port()));
    char buffer[8];
    std::uint32_t size = sizeof(buffer);
    Clock::duration waited{};
    {
        CNoDescriptorsAllowed limit;
        ASSERT_TRUE(limit.ok());
        waited = Timed([&] { EXPECT_FALSE(receiving.ReceiveBytes(buffer, size)); });
    }
    EXPECT_EQ(receiving.LastError(), 10022);
    EXPECT_LT(waited, 5s) << "reported at once, not after the 10 s time-out";
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
    const std::string bytes = Pattern(64 << 20, 3);
    std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    EXPECT_FALSE(sender.SendBytes(bytes.data(), size));
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
    EXPECT_FALSE(receiver.ReceiveBytes(buffer, size));
    EXPECT_EQ(receiver.LastError(), 10054);
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
