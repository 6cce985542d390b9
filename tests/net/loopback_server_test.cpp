// The loopback test server itself: reads keep the bytes after a delimiter, the peer's close
// and reset are seen, and stopping the server ends a handler that is blocked in a wait.
#include <chrono>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/loopback_server.h"
#include "tests/support/raw_socket.h"

namespace {

using namespace std::chrono_literals;

// A plain blocking client whose reads and writes give up after two seconds.
class CTestClient : public CRawSocket {
public:
    CTestClient(const CLoopbackServer& server, CLoopbackServer::Family family)
        : CRawSocket(family == CLoopbackServer::Family::kIpv6),
          connected_(IsValid() && ConnectToLoopback(server.Port())) {}

    bool connected() const { return connected_; }

private:
    bool connected_;
};

TEST(LoopbackServer, ReadUntilKeepsTheBytesAfterTheDelimiter) {
    for (const auto family : {CLoopbackServer::Family::kIpv4, CLoopbackServer::Family::kIpv6}) {
        std::string head, body, rest;
        CLoopbackServer server(
            [&](CLoopbackConnection& connection) {
                EXPECT_TRUE(connection.ReadUntil("\r\n\r\n", head));
                EXPECT_TRUE(connection.ReadExactly(4, body));
                EXPECT_TRUE(connection.ReadAll(rest));
                EXPECT_TRUE(connection.Write("reply"));
            },
            family);
        if (!server.IsListening()) {
            ASSERT_EQ(family, CLoopbackServer::Family::kIpv6);
            continue;
        }
        CTestClient client(server, family);
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.Send("GET / HTTP/1.1\r\n\r\nbodytail"));
        client.ShutdownWrite();
        std::string reply;
        EXPECT_EQ(client.ReadToEnd(reply), 0);
        EXPECT_EQ(reply, "reply");
        ASSERT_TRUE(server.WaitForFinished(1, 5s));
        EXPECT_EQ(head, "GET / HTTP/1.1\r\n\r\n");
        EXPECT_EQ(body, "body");
        EXPECT_EQ(rest, "tail");
    }
}

TEST(LoopbackServer, ResetReachesTheClientAsAReset) {
    CLoopbackServer server([](CLoopbackConnection& connection) {
        std::string got;
        EXPECT_TRUE(connection.ReadSome(got));
        connection.ResetConnection();
    });
    ASSERT_TRUE(server.IsListening());
    CTestClient client(server, CLoopbackServer::Family::kIpv4);
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(client.Send("x"));
    std::string reply;
    const int ended = client.ReadToEnd(reply);
#ifdef _WIN32
    // Wine now and then reports a reset connection as the peer's orderly close (0), as it does
    // for the product socket (EventSyncSocket.PeerResetEndsASendAndAReceiveWithAnError).
    if (ended == 0) {
        return;
    }
#endif
    EXPECT_EQ(ended, 10054);
}

TEST(LoopbackServer, AcceptsConnectionsOneAfterAnother) {
    CLoopbackServer server([](CLoopbackConnection& connection) {
        std::string got;
        if (connection.ReadUntil("\n", got)) {
            connection.Write(got);
        }
    });
    ASSERT_TRUE(server.IsListening());
    for (const std::string line : {"one\n", "two\n", "three\n"}) {
        CTestClient client(server, CLoopbackServer::Family::kIpv4);
        ASSERT_TRUE(client.Send(line));
        std::string reply;
        EXPECT_EQ(client.ReadToEnd(reply), 0);
        EXPECT_EQ(reply, line);
    }
    EXPECT_TRUE(server.WaitForFinished(3, 5s));
    EXPECT_EQ(server.AcceptedCount(), 3);
}

TEST(LoopbackServer, StopEndsAHandlerBlockedInAWait) {
    bool readAllResult = true;
    auto server = std::make_unique<CLoopbackServer>(
        [&](CLoopbackConnection& connection) {
            connection.SetTimeout(60s);
            std::string got;
            readAllResult = connection.ReadAll(got);
        },
        CLoopbackServer::Family::kIpv4);
    ASSERT_TRUE(server->IsListening());
    CTestClient client(*server, CLoopbackServer::Family::kIpv4);
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(server->WaitForAccepted(1, 5s));
    const auto start = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(readAllResult);
}

TEST(LoopbackServer, ReadsGiveUpAfterTheTimeout) {
    bool readResult = true;
    std::chrono::steady_clock::duration waited{};
    CLoopbackServer server(
        [&](CLoopbackConnection& connection) {
            std::string got;
            const auto start = std::chrono::steady_clock::now();
            readResult = connection.ReadSome(got);
            waited = std::chrono::steady_clock::now() - start;
        },
        CLoopbackServer::Family::kIpv4, 200ms);
    ASSERT_TRUE(server.IsListening());
    CTestClient client(server, CLoopbackServer::Family::kIpv4);
    ASSERT_TRUE(server.WaitForFinished(1, 5s));
    EXPECT_FALSE(readResult);
    EXPECT_GE(waited, 190ms);
    EXPECT_LT(waited, 3s);
}

}  // namespace
