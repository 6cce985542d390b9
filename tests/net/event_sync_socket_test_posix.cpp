// CEventSyncSocket cases only POSIX can set up, with poll made to refuse its work (no descriptor
// may be open): a wait that fails must read as an error, never as a connection or a time-out;
// and a send or receive that the system can serve at once makes no wait at all, so that a
// connection with data ready costs one system call per read.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <chrono>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "net/socket/event_sync_socket.h"
#include "tests/net/socket_fixture.h"
#include "tests/support/loopback_server.h"
#include "tests/support/stalled_listener.h"

namespace {

using namespace std::chrono_literals;
using namespace socket_fixture;

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

// Writes eight bytes in one write, so that they arrive together, and then stays.
void WriteEightAndStay(CLoopbackConnection& connection) {
    if (connection.Write("pongmore")) {
        connection.Idle();
    }
}

// Takes "pong" alone, which leaves "more" waiting in the socket.
bool ReceiveTheFirstFour(CEventSyncSocket& socket) {
    char buffer[4];
    std::uint32_t size = sizeof(buffer);
    return socket.ReceiveBytes(buffer, size) && std::string(buffer, size) == "pong";
}

// With poll refusing its work, any wait fails (as above): a send or receive that succeeds made
// none.
TEST(EventSyncSocket, ASendOrReceiveWaitsOnlyWhenTheSystemWouldBlock) {
    const struct {
        const char* name;
        CLoopbackServer::Handler serve;
        std::function<bool(CEventSyncSocket&)> prepare;  // before poll is made to fail
        bool receive;                                    // else a send of four bytes
    } cases[] = {
        {"receive with the bytes already there", &WriteEightAndStay, &ReceiveTheFirstFour, true},
        {"send with room in the socket buffer", &StayIdle, nullptr, false},
    };
    for (const auto& c : cases) {
        CLoopbackServer server(c.serve, Family::kIpv4, kIdleLimit);
        CEventSyncSocket socket;
        ASSERT_TRUE(socket.ConnectTo(u"127.0.0.1", server.Port())) << c.name;
        ASSERT_TRUE(c.prepare == nullptr || c.prepare(socket)) << c.name;
        char buffer[4] = {'p', 'i', 'n', 'g'};
        std::uint32_t size = sizeof(buffer);
        bool result = false;
        {
            CNoDescriptorsAllowed limit;
            ASSERT_TRUE(limit.ok()) << c.name;
            result = c.receive ? socket.ReceiveBytes(buffer, size) : socket.SendBytes(buffer, size);
        }
        EXPECT_TRUE(result) << c.name << ": no wait, so none that could fail";
        EXPECT_EQ(size, 4u) << c.name;
        EXPECT_EQ(std::string(buffer, size), c.receive ? "more" : "ping") << c.name;
    }
}

}  // namespace
