// CTlsSocket against TLS servers on loopback (Python's ssl module, tests/support/
// tls_test_server.py) with certificates made for the test by the openssl command: which
// certificates are accepted and with which code the others are refused, the time-out of a
// silent server, a name of several addresses, and a peer that leaves during a large send. Under
// Wine the servers run on the host (tests/net/tls_windows.sh) and the Schannel engine speaks
// TLS 1.2 to them.
#include <chrono>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "net/tls/tls_socket.h"
#include "platform/text_conversion.h"
#include "tests/support/loopback_server.h"
#include "tests/support/platform_expectation.h"
#include "tests/support/scripted_resolver.h"
#include "tests/support/stalled_listener.h"
#include "tests/support/tls_test_server.h"

namespace {

using Clock = std::chrono::steady_clock;

using TlsSocketTest = TlsLoopbackTest;

// What the "http" server answers to a request whose body is "abc": its length and SHA-256.
const std::string kAbcReceived =
    "3 ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST_F(TlsSocketTest, GoodCertificatesAreAcceptedAndTheOthersRefusedWithTheirCode) {
    const struct {
        const char* name;
        const char* certificate;
        const char* host;
        bool tls11Only;
        bool systemStore;
        // 0: connected. Wine's chain policy matches no IP address against a certificate, so
        // under Wine a certificate is accepted by name only.
        std::int32_t posix;
        std::int32_t windows;
    } cases[] = {
        {"good, by name", "server", "localhost", false, false, 0, 0},
        {"good, by IP", "server", "127.0.0.1", false, false, 0, kTlsCertificateRefused},
        {"another name", "other-name", "localhost", false, false, kTlsCertificateRefused,
         kTlsCertificateRefused},
        {"another name, by IP", "other-name", "127.0.0.1", false, false, kTlsCertificateRefused,
         kTlsCertificateRefused},
        {"unknown authority", "untrusted", "localhost", false, false, kTlsCertificateRefused,
         kTlsCertificateRefused},
        {"expired", "expired", "localhost", false, false, kTlsCertificateRefused,
         kTlsCertificateRefused},
        {"self-signed", "self-signed", "localhost", false, false, kTlsCertificateRefused,
         kTlsCertificateRefused},
        {"test authority not in the system store", "server", "localhost", false, true,
         kTlsCertificateRefused, kTlsCertificateRefused},
        {"TLS 1.1 only", "server", "localhost", true, false, kTlsFailure, kTlsFailure},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int32_t expected = OnThisPlatform(c.posix, c.windows);
        CTlsTestServer server;
        Serve(server, "http", c.host, c.certificate,
              c.tls11Only ? std::vector<std::string>{"--max-tls", "1.1"}
                          : std::vector<std::string>{});
        CTlsSocket socket(c.systemStore ? CTlsTrust::SystemStore() : Trust());
        const std::u16string host = NarrowToWide(c.host);
        EXPECT_EQ(socket.ConnectTo(host.c_str(), server.Port()), expected == 0);
        EXPECT_EQ(socket.LastError(), expected);
        if (expected == 0) {
            const std::string request = "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc";
            std::uint32_t size = static_cast<std::uint32_t>(request.size());
            EXPECT_TRUE(socket.SendBytes(request.data(), size));
            EXPECT_EQ(size, request.size()) << "plaintext bytes are counted";
            char reply[512];
            std::uint32_t got = sizeof(reply);
            ASSERT_TRUE(socket.ReceiveBytes(reply, got));
            EXPECT_NE(std::string(reply, got).find(kAbcReceived), std::string::npos);
        }
    }
}

TEST_F(TlsSocketTest, ASilentServerEndsTheConnectWithinTheTimeOut) {
    CLoopbackServer silent([](CLoopbackConnection& connection) { connection.Idle(); });
    ASSERT_TRUE(silent.IsListening());
    CTlsSocket socket(Trust());
    socket.ExchangeTimeout(300);
    const auto start = Clock::now();
    EXPECT_FALSE(socket.ConnectTo(u"127.0.0.1", silent.Port()));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(290));
    EXPECT_LT(waited, std::chrono::seconds(2)) << "connect and handshake share one time-out";
    EXPECT_EQ(socket.LastError(), 0) << "a time-out leaves the last error as it was";
}

// The transport shares the time-out between the name's addresses, and the handshake gets what
// the connect left: an address that never answers costs its share, not the connection.
TEST_F(TlsSocketTest, ANameOfSeveralAddressesConnectsAndShakesHandsWithinTheOneTimeOut) {
    const struct {
        const char* name;
        bool serverLast;
        bool connects;
        int atLeastMs;
    } cases[] = {
        {"refused, silent, then the server", true, true, 1900},
        {"refused, then silent twice", false, false, 3900},
    };
    constexpr std::uint32_t kTimeoutMs = 4000;
    CStalledListener stalled;
    ASSERT_TRUE(stalled.IsReady());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTlsTestServer server;
        Serve(server, "http", "localhost", "server");
        const CScriptedAddress silent = {"127.0.0.1", stalled.Port()};
        CScriptedResolver resolver(
            "localhost",
            {{"127.0.0.3", 0}, silent, c.serverLast ? CScriptedAddress{"127.0.0.1", 0} : silent});
        CTlsSocket socket(Trust());
        socket.ExchangeTimeout(kTimeoutMs);
        const auto start = Clock::now();
        EXPECT_EQ(socket.ConnectTo(u"localhost", server.Port()), c.connects);
        const auto waitedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_GE(waitedMs, c.atLeastMs);
        EXPECT_LT(waitedMs, kTimeoutMs + 400);
        if (c.connects) {
            const std::string request = "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc";
            std::uint32_t size = static_cast<std::uint32_t>(request.size());
            EXPECT_TRUE(socket.SendBytes(request.data(), size));
            char reply[512];
            std::uint32_t got = sizeof(reply);
            ASSERT_TRUE(socket.ReceiveBytes(reply, got));
            EXPECT_NE(std::string(reply, got).find(kAbcReceived), std::string::npos);
        } else {
            EXPECT_EQ(socket.LastError(), 10061) << "the refused attempt's code";
        }
    }
}

TEST_F(TlsSocketTest, APeerThatLeavesDuringALargeSendEndsItInAFailureNotASignal) {
    CTlsTestServer server;
    Serve(server, "drop", "localhost", "server");
    CTlsSocket socket(Trust());
    ASSERT_TRUE(socket.ConnectTo(u"localhost", server.Port()));
    const std::string body(32 << 20, 'x');
    std::uint32_t size = static_cast<std::uint32_t>(body.size());
    EXPECT_FALSE(socket.SendBytes(body.data(), size));
    EXPECT_LT(size, body.size());
    EXPECT_NE(socket.LastError(), 0);
    EXPECT_LT(socket.LastError(), 11000) << "the transport's Windows Sockets number";
}

TEST_F(TlsSocketTest, OnlyHttpsIsSpokenAndNothingMovesBeforeAConnection) {
    CTlsSocket socket(Trust());
    for (const UrlSchemeKind kind : {SchemeUnknown, SchemeFtp, SchemeGopher, SchemeHttp, SchemeFile,
                                     SchemeNews, SchemeMailto, SchemeSocks}) {
        EXPECT_FALSE(socket.IsSchemeSupported(kind)) << kind;
    }
    EXPECT_TRUE(socket.IsSchemeSupported(SchemeHttps));
    char byte = 0;
    std::uint32_t size = 1;
    EXPECT_FALSE(socket.SendBytes(&byte, size));
    EXPECT_EQ(socket.LastError(), 10057);
    size = 1;
    EXPECT_FALSE(socket.ReceiveBytes(&byte, size));
    EXPECT_EQ(socket.LastError(), 10057);
}

}  // namespace
