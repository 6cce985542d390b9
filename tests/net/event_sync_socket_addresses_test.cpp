// CEventSyncSocket::ConnectTo with a name of several addresses (answered by CScriptedResolver):
// every address is tried in the resolver's order until one connects, each on a socket of its
// own family; the one time-out is shared so that an address that never answers cannot take all
// of it, and the whole connect ends within it; the last error is the last attempt's that failed
// with an error. A name of one address behaves as a connect to one address always did.
#include <chrono>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "net/socket/event_sync_socket.h"
#include "tests/net/socket_fixture.h"
#include "tests/support/loopback_server.h"
#include "tests/support/scripted_resolver.h"
#include "tests/support/stalled_listener.h"

namespace {

using namespace socket_fixture;

// What stands behind one address of the name.
enum Peer {
    kRefused,     // 127.0.0.3: nothing listens there
    kRefused6,    // ::1 at the IPv4 server's port: nothing listens there
    kSilent,      // the stalled listener: the attempt is never answered
    kListening,   // the IPv4 server on 127.0.0.1
    kListening6,  // the IPv6 server on ::1
};

// Which server takes the connection.
enum Taker { kNoOne, kServer, kServer6 };

bool NeedsIpv6(const std::vector<Peer>& peers) {
    for (const Peer peer : peers) {
        if (peer == kRefused6 || peer == kListening6) {
            return true;
        }
    }
    return false;
}

TEST(EventSyncSocketAddresses, EveryAddressIsTriedInTurnWithinTheOneTimeOut) {
    const struct {
        const char* name;
        std::uint32_t timeoutMs;
        // Which server takes the connection (none: the connect fails), and the last error then.
        Taker taker;
        std::int32_t lastError;
        // Bounds of the whole connect's wait, in milliseconds (the upper one exclusive).
        int atLeastMs;
        int belowMs;
        std::vector<Peer> peers;
    } cases[] = {
        // One address: as a connect to one address always was, the whole time-out included.
        {"listening", 2000, kServer, 0, 0, 1000, {kListening}},
        {"refused", 2000, kNoOne, 10061, 0, 1000, {kRefused}},
        {"silent", 600, kNoOne, 0, 590, 1400, {kSilent}},
        // The next address after a refusal, on a socket of its own family; the refusal's code
        // stays in the field.
        {"refused, listening", 2000, kServer, 10061, 0, 1000, {kRefused, kListening}},
        {"::1 refused, listening", 2000, kServer, 10061, 0, 1000, {kRefused6, kListening}},
        {"refused, ::1 listening", 2000, kServer6, 10061, 0, 1000, {kRefused, kListening6}},
        {"refused twice", 2000, kNoOne, 10061, 0, 1000, {kRefused, kRefused}},
        // An address that never answers takes only its share (a half, a third) and leaves the
        // rest to the ones behind it.
        {"silent, listening", 1500, kServer, 0, 740, 1500, {kSilent, kListening}},
        {"silent twice, listening", 1500, kServer, 0, 990, 1500, {kSilent, kSilent, kListening}},
        {"silent, refused", 1000, kNoOne, 10061, 490, 900, {kSilent, kRefused}},
        // A refusal's unused share passes on; a time-out after it leaves its code alone.
        {"refused, silent", 600, kNoOne, 10061, 540, 1400, {kRefused, kSilent}},
        // However many addresses never answer, the whole connect ends within the time-out.
        {"silent three times", 1500, kNoOne, 0, 1490, 2400, {kSilent, kSilent, kSilent}},
    };
    CStalledListener stalled;
    ASSERT_TRUE(stalled.IsReady());
    const bool haveIpv6 = CLoopbackServer(&EchoPing, Family::kIpv6).IsListening();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (NeedsIpv6(c.peers) && !haveIpv6) {
            continue;  // no ::1 on this machine
        }
        CLoopbackServer server(&EchoPing);
        CLoopbackServer server6(&EchoPing, Family::kIpv6);
        ASSERT_TRUE(server.IsListening());
        std::vector<CScriptedAddress> addresses;
        for (const Peer peer : c.peers) {
            switch (peer) {
                case kRefused:
                    addresses.push_back({"127.0.0.3", 0});
                    break;
                case kRefused6:
                    addresses.push_back({"::1", 0});
                    break;
                case kSilent:
                    addresses.push_back({"127.0.0.1", stalled.Port()});
                    break;
                case kListening:
                    addresses.push_back({"127.0.0.1", 0});
                    break;
                case kListening6:
                    addresses.push_back({"::1", server6.Port()});
                    break;
            }
        }
        CScriptedResolver resolver("several.test", addresses);
        CEventSyncSocket socket;
        socket.ExchangeTimeout(c.timeoutMs);
        bool connected = false;
        const auto waited =
            Timed([&] { connected = socket.ConnectTo(u"several.test", server.Port()); });
        const bool listening = c.taker != kNoOne;
        EXPECT_EQ(connected, listening);
        EXPECT_EQ(socket.LastError(), c.lastError);
        const auto waitedMs = std::chrono::duration_cast<std::chrono::milliseconds>(waited).count();
        EXPECT_GE(waitedMs, c.atLeastMs);
        EXPECT_LT(waitedMs, c.belowMs);
        if (connected && listening) {
            EXPECT_TRUE(Send(socket, "ping"));
            EXPECT_EQ(Receive(socket, 4), "pong");
            const CLoopbackServer& chosen = c.taker == kServer ? server : server6;
            EXPECT_EQ(chosen.AcceptedCount(), 1);
        }
        EXPECT_EQ(server.AcceptedCount() + server6.AcceptedCount(), listening ? 1 : 0)
            << "one connection, to the listening address only";
    }
}

}  // namespace
