// Receivers that misbehave: a trickled body, a body or a head without end, chunks without end,
// a receiver that reads the upload a few bytes at a time, an answer paced just above the
// low-speed rate, a tarpit that redirects the upload to itself again and again, a TLS server
// that never shakes hands, proxies that never answer a CONNECT, drip or flood their answer, open
// a tunnel only to close it or refuse every logon, and slow but honest ones (a slow answer, a
// slow link). Each run ends by itself within its bound (60 s unless the case says otherwise)
// with status 0, the log is deleted as after any post, and the process never holds more than
// 64 MiB; the honest receivers get their whole exchange. One test case per receiver, so that
// they run side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <random>
#include <string>

#include "app/run_flow.h"
#include "net/proxy/proxy_chooser.h"
#include "platform/text_conversion.h"
#include "tests/support/loopback_server.h"
#include "tests/support/peak_memory.h"
#include "tests/support/scripted_http_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_run_context.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kRunBound = 60s;
[[maybe_unused]] constexpr std::uint64_t kMemoryBound = 64ULL * 1024 * 1024;
// Sizes of the endless answers: far beyond what the log sender may take in.
constexpr std::uint64_t kEndless = 2000000000ULL;

// What a receiver saw, for the cases that check the exchange itself.
struct CExchangeSeen {
    std::atomic<std::uint64_t> uploadBytes{0};
    std::atomic<std::uint64_t> announcedBytes{0};
    std::atomic<bool> answeredWhole{false};
};

// Reads the request head and as much of the body as it announces; false when either fails.
bool ReadRequest(CLoopbackConnection& connection, CExchangeSeen& seen) {
    std::string head;
    if (!connection.ReadUntil("\r\n\r\n", head)) {
        return false;
    }
    const std::uint64_t announced =
        std::strtoull(HeadHeaderValue(head, "Content-Length").c_str(), nullptr, 10);
    seen.announcedBytes = announced;
    std::string body;
    const bool whole = connection.ReadExactly(static_cast<std::size_t>(announced), body);
    seen.uploadBytes = body.size();
    return whole;
}

// Waits `pace` (or until the server stops) and sets the time-out of the next operation.
void Pace(CLoopbackConnection& connection, std::chrono::milliseconds pace) {
    connection.SetTimeout(pace);
    connection.Idle();
    connection.SetTimeout(10s);
}

// Writes block again and again until `total` bytes went out or the peer stops taking them.
void Flood(CLoopbackConnection& connection, const std::string& block, std::uint64_t total) {
    for (std::uint64_t written = 0; written < total; written += block.size()) {
        if (!connection.Write(block)) {
            return;
        }
    }
}

void TrickledBody(CLoopbackConnection& connection, CExchangeSeen& seen) {
    if (!ReadRequest(connection, seen) ||
        !connection.Write("HTTP/1.1 200 OK\r\nContent-Length: 100000000\r\n\r\n")) {
        return;
    }
    for (int second = 0; second < 120; ++second) {
        Pace(connection, 1s);
        if (!connection.Write("x")) {
            return;
        }
    }
}

void EndlessBody(CLoopbackConnection& connection, CExchangeSeen& seen) {
    if (ReadRequest(connection, seen) && connection.Write("HTTP/1.1 200 OK\r\nContent-Length: " +
                                                          std::to_string(kEndless) + "\r\n\r\n")) {
        Flood(connection, std::string(65536, 'b'), kEndless);
    }
}

void EndlessHead(CLoopbackConnection& connection, CExchangeSeen& seen) {
    if (ReadRequest(connection, seen) && connection.Write("HTTP/1.1 200 OK\r\n")) {
        Flood(connection, "X-Filler: " + std::string(1000, 'h') + "\r\n", kEndless);
    }
}

void EndlessChunks(CLoopbackConnection& connection, CExchangeSeen& seen) {
    if (ReadRequest(connection, seen) &&
        connection.Write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")) {
        Flood(connection, "10000\r\n" + std::string(65536, 'c') + "\r\n", kEndless);
    }
}

void SlowReader(CLoopbackConnection& connection, CExchangeSeen&) {
    std::string head;
    if (!connection.ReadUntil("\r\n\r\n", head)) {
        return;
    }
    for (int turn = 0; turn < 60; ++turn) {
        Pace(connection, 2s);
        std::string piece;
        if (!connection.ReadSome(piece, 512)) {
            return;
        }
    }
}

// Answers 35 KiB at 1 KiB a second: slow, but above the low-speed limit's rate.
void SlowHonestAnswer(CLoopbackConnection& connection, CExchangeSeen& seen) {
    constexpr int kSeconds = 35;
    if (!ReadRequest(connection, seen) ||
        !connection.Write("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kSeconds * 1024) +
                          "\r\n\r\n")) {
        return;
    }
    for (int second = 0; second < kSeconds; ++second) {
        Pace(connection, 1s);
        if (!connection.Write(std::string(1024, 'a'))) {
            return;
        }
    }
    seen.answeredWhole = true;
}

// Each time: waits 9 s, takes the whole request, then answers a 302 back to the same address
// in three pieces 9 s apart and closes: a tarpit that keeps the uploader sending its body again,
// each wait just inside the uploader's time-out.
void RedirectTarpit(CLoopbackConnection& connection, CExchangeSeen& seen, std::uint16_t port) {
    Pace(connection, 9s);
    if (!ReadRequest(connection, seen)) {
        return;
    }
    const std::string answer =
        "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(port) +
        "/scripts/uploadUserLog.php\r\nConnection: close\r\n\r\n";
    const std::size_t third = answer.size() / 3 + 1;
    for (std::size_t at = 0; at < answer.size(); at += third) {
        if (at != 0) {
            Pace(connection, 9s);
        }
        if (!connection.Write(answer.substr(at, third))) {
            return;
        }
    }
}

// An answer of a megabyte paced at 600 bytes a second: just above the low-speed rate.
void PacedAnswer(CLoopbackConnection& connection, CExchangeSeen& seen) {
    if (!ReadRequest(connection, seen) ||
        !connection.Write("HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n")) {
        return;
    }
    for (int tenth = 0; tenth < 20000; ++tenth) {
        Pace(connection, 100ms);
        if (!connection.Write(std::string(60, 'p'))) {
            return;
        }
    }
}

// Takes the request at 1 MiB a second, a link far slower than loopback, then answers at once.
// Loopback's socket buffers take up to 4 MiB of the upload at once, which the uploader counts
// as sent; the upload is large enough to go on past them for seconds, and the rate drains them
// within the uploader's wait for the answer.
void SlowHonestReader(CLoopbackConnection& connection, CExchangeSeen& seen) {
    std::string head;
    if (!connection.ReadUntil("\r\n\r\n", head)) {
        return;
    }
    const std::uint64_t announced =
        std::strtoull(HeadHeaderValue(head, "Content-Length").c_str(), nullptr, 10);
    seen.announcedBytes = announced;
    std::string body;
    constexpr std::uint64_t kPerTenth = 100 * 1024;
    for (std::uint64_t allowed = 0; body.size() < announced;) {
        Pace(connection, 100ms);
        allowed = std::min<std::uint64_t>(allowed + kPerTenth, announced);
        while (body.size() < allowed) {
            if (!connection.ReadSome(body, static_cast<std::size_t>(allowed - body.size()))) {
                return;
            }
        }
    }
    seen.uploadBytes = body.size();
    seen.answeredWhole =
        connection.Write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
}

// Hostile proxies, each named as the way to an https upload host only the proxy could reach.
// Takes the CONNECT and never answers it.
void ProxySilentOnConnect(CLoopbackConnection& connection, CExchangeSeen&) {
    std::string head;
    if (connection.ReadUntil("\r\n\r\n", head)) {
        Pace(connection, 30s);
    }
}

// Drips its answer to the CONNECT a byte every half second.
void ProxyDripsItsAnswer(CLoopbackConnection& connection, CExchangeSeen&) {
    std::string head;
    const std::string answer = "HTTP/1.1 200 Connection established\r\n\r\n";
    if (!connection.ReadUntil("\r\n\r\n", head)) {
        return;
    }
    for (const char byte : answer) {
        Pace(connection, 500ms);
        if (!connection.Write(std::string(1, byte))) {
            return;
        }
    }
}

// Answers the CONNECT with a head that never ends.
void ProxyEndlessHeaders(CLoopbackConnection& connection, CExchangeSeen&) {
    std::string head;
    if (connection.ReadUntil("\r\n\r\n", head) && connection.Write("HTTP/1.1 200 OK\r\n")) {
        Flood(connection, "X-Filler: " + std::string(1000, 'f') + "\r\n", kEndless);
    }
}

// Opens the tunnel and closes it at once.
void ProxyOpensAndCloses(CLoopbackConnection& connection, CExchangeSeen&) {
    std::string head;
    if (connection.ReadUntil("\r\n\r\n", head)) {
        connection.Write("HTTP/1.1 200 Connection established\r\n\r\n");
    }
}

// Refuses every CONNECT on the connection with a 407 offering every scheme.
void ProxyLoopsOn407(CLoopbackConnection& connection, CExchangeSeen&) {
    for (int turn = 0; turn < 100; ++turn) {
        std::string head;
        if (!connection.ReadUntil("\r\n\r\n", head) ||
            !connection.Write("HTTP/1.1 407 Proxy Authentication Required\r\n"
                              "Proxy-Authenticate: Negotiate, NTLM, Basic realm=\"r\"\r\n"
                              "Content-Length: 0\r\n\r\n")) {
            return;
        }
    }
}

// The port of the hostile proxy of the running case (the cases of one process run in turn).
std::atomic<std::uint16_t> proxyPort{0};

std::unique_ptr<CProxyChooser> HostileProxyChooser() {
    class CHostileProxy : public CProxyChooser {
    public:
        CProxyRoute RouteFor(const CParsedUrl&) override {
            CProxyServer server;
            server.host = u"127.0.0.1";
            server.port = proxyPort.load();
            server.hasCredentials = true;
            server.user = u"user";
            server.password = u"secret";
            return CProxyRoute::Through(server);
        }
    };
    return std::make_unique<CHostileProxy>();
}

// Accepts the connection and never says a word: a TLS handshake that never comes.
void SilentTlsServer(CLoopbackConnection& connection, CExchangeSeen&) {
    Pace(connection, 30s);
}

struct HostileCase {
    const char* name;
    void (*serve)(CLoopbackConnection&, CExchangeSeen&);
    std::size_t logBytes;  // random bytes, so that the archive is as large
    bool honest;
    std::chrono::seconds bound = kRunBound;
    const char* scheme = "http";
    // The server is a proxy, the way to https://upload.test.
    bool proxy = false;
};

// The case's name in test output, instead of its bytes.
void PrintTo(const HostileCase& c, std::ostream* out) {
    *out << c.name;
}

class HostileReceivers : public ::testing::TestWithParam<HostileCase> {};

std::string RandomBytes(std::size_t size) {
    std::mt19937 draw(12345);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(draw());
    }
    return bytes;
}

TEST_P(HostileReceivers, RunEndsWithinBoundsAndTheLogIsGone) {
    const HostileCase& c = GetParam();
    CExchangeSeen seen;
    std::uint16_t port = 0;
    CLoopbackServer server(
        [&](CLoopbackConnection& connection) {
            if (c.serve != nullptr) {
                c.serve(connection, seen);
            } else {
                RedirectTarpit(connection, seen, port);
            }
        },
        CLoopbackServer::Family::kIpv4, 10s);
    ASSERT_TRUE(server.IsListening());
    port = server.Port();
    CTempFolder data;
    data.Write("Ombrix/Log/OmbrixLog.4321.Runner.log", RandomBytes(c.logBytes));
    const std::string address = c.proxy ? "upload.test" : "127.0.0.1:" + std::to_string(port);
    CRunContext context = TestRunContext(
        NarrowToWide(std::string(c.scheme) + "://" + address + "/scripts/uploadUserLog.php"),
        data.WidePath());
    if (c.proxy) {
        proxyPort = port;
        context.makeProxyChooser = &HostileProxyChooser;
    }

    const auto start = Clock::now();
    EXPECT_EQ(RunLogSender("sendlogs S1 4321", context), 0);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    const std::uint64_t peak = PeakResidentBytes();
    std::cout << c.name << ": " << took.count() << " ms, peak " << peak / 1024 << " KiB\n";

    EXPECT_LT(took, c.bound);
    EXPECT_TRUE(std::filesystem::is_empty(data.Path() / "Ombrix" / "Log"))
        << "the log and its archive are deleted as after any post";
#if defined(LOGSENDER_SANITIZED)
    // AddressSanitizer's shadow memory and quarantine inflate the resident set; the plain and
    // Windows builds check the bound.
    static_cast<void>(peak);
#else
    EXPECT_LT(peak, kMemoryBound);
#endif
    if (c.honest) {
        EXPECT_TRUE(seen.answeredWhole) << "a receiver above the rate is never cut";
        EXPECT_EQ(seen.uploadBytes.load(), seen.announcedBytes.load());
        EXPECT_GT(seen.uploadBytes.load(), c.logBytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileReceivers,
    ::testing::Values(
        HostileCase{"TrickledBody", &TrickledBody, 1000, false},
        HostileCase{"EndlessBody", &EndlessBody, 1000, false},
        HostileCase{"EndlessHead", &EndlessHead, 1000, false},
        HostileCase{"EndlessChunks", &EndlessChunks, 1000, false},
        HostileCase{"SlowReader", &SlowReader, 4 * 1024 * 1024, false},
        HostileCase{"SlowHonestAnswer", &SlowHonestAnswer, 64 * 1024, true},
        // Ends once the response has had its minute: 60 s after the body.
        HostileCase{"PacedAnswer", &PacedAnswer, 1000, false, 65s},
        // Before the body was taken as progress each time it went again.
        HostileCase{"RedirectTarpit", nullptr, 64 * 1024, false},
        HostileCase{"SlowHonestLargeUpload", &SlowHonestReader, 8 * 1024 * 1024, true},
        // Within the one time-out of connect and handshake.
        HostileCase{"DelayedTlsHandshake", &SilentTlsServer, 1000, false, 15s, "https"},
        // A proxy's answer to a CONNECT comes within the one time-out of the connect.
        HostileCase{"ProxySilentOnConnect", &ProxySilentOnConnect, 1000, false, 15s, "https", true},
        HostileCase{"ProxyDripsItsAnswer", &ProxyDripsItsAnswer, 1000, false, 15s, "https", true},
        HostileCase{"ProxyEndlessHeaders", &ProxyEndlessHeaders, 1000, false, 15s, "https", true},
        HostileCase{"ProxyOpensAndCloses", &ProxyOpensAndCloses, 1000, false, 15s, "https", true},
        HostileCase{"ProxyLoopsOn407", &ProxyLoopsOn407, 1000, false, 15s, "https", true}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

}  // namespace
