// CTlsEngine on Schannel, driven over a real loopback connection (CEventSyncSocket). The TLS
// servers run on the host: tests/net/tls_engine_windows.sh makes certificates for the run,
// starts tls_test_servers.js and names both in OMBRIX_TLS_CERTS and OMBRIX_TLS_PORTS; without
// them the TlsEngineHost cases skip. The TlsEngineLocal cases need no server of the host.
//
// Bytes from the peer reach the engine through CSession, which can hand them over a few at a
// time: with pieces of one byte every record arrives cut at each of its byte boundaries, and
// with whole blocks several records (the handshake's end, data, the close) arrive at once.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/socket/event_sync_socket.h"
#include "net/tls/tls_engine.h"
#include "tests/support/loopback_server.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Step = CTlsEngine::Step;

constexpr std::size_t kWhole = static_cast<std::size_t>(-1);
constexpr std::uint32_t kTimeoutMs = 5000;
// Bounds every exchange loop; a handshake and greeting fed one byte at a time take about 25000
// rounds.
constexpr int kMaxRounds = 200000;
// The largest TLS 1.2 record body: 2^14 bytes of plaintext plus 2048 of expansion.
constexpr std::size_t kMaxRecordBody = 16384 + 2048;

Bytes BytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return bytes;
}

// What the greeting server sends: "hello", 20000 bytes of pattern, "!" (tls_test_servers.js).
Bytes GreetingBytes() {
    Bytes bytes = BytesOf("hello");
    const Bytes pattern = Pattern(20000);
    bytes.insert(bytes.end(), pattern.begin(), pattern.end());
    bytes.push_back('!');
    return bytes;
}

// The host's servers and certificate folder, from the environment.
class CHostServers {
public:
    static const CHostServers& Get() {
        static const CHostServers servers;
        return servers;
    }
    bool Ready() const { return !folder_.empty() && !ports_.empty(); }
    std::uint16_t Port(const std::string& server) const {
        const auto found = ports_.find(server);
        return found == ports_.end() ? 0 : found->second;
    }
    // The text of <name>.pem in the certificate folder (empty when it cannot be read).
    std::string Pem(const std::string& name) const {
        std::ifstream file(folder_ + "\\" + name + ".pem", std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    CHostServers() {
        const char* folder = std::getenv("OMBRIX_TLS_CERTS");
        const char* ports = std::getenv("OMBRIX_TLS_PORTS");
        if (folder == nullptr || ports == nullptr) {
            return;
        }
        folder_ = folder;
        std::istringstream list(ports);
        std::string entry;
        while (list >> entry) {
            const std::size_t equals = entry.find('=');
            if (equals != std::string::npos) {
                ports_[entry.substr(0, equals)] =
                    static_cast<std::uint16_t>(std::stoul(entry.substr(equals + 1)));
            }
        }
    }

    std::string folder_;
    std::map<std::string, std::uint16_t> ports_;
};

// One engine over one loopback connection, the peer's bytes handed over at most `piece` at a
// time.
class CSession {
public:
    explicit CSession(const CTlsTrust& trust, std::size_t piece = kWhole)
        : engine_(trust), piece_(piece) {
        socket_.ExchangeTimeout(kTimeoutMs);
    }

    bool Connect(std::uint16_t port) { return socket_.ConnectTo(u"127.0.0.1", port); }
    CTlsEngine& Engine() { return engine_; }
    const Bytes& Plain() const { return plain_; }
    // Bytes offered to the engine that it has not taken yet.
    std::size_t Untaken() const { return offered_.size(); }
    bool AllTaken() const { return offered_.empty() && heldAt_ == held_.size(); }

    // Starts the handshake for host and sends its first flight.
    bool Begin(const std::u16string& host = u"localhost") {
        Bytes out;
        return engine_.Start(host, out) && Send(out);
    }

    // Runs the handshake on to its end or failure, or (untilAnswered) to the first round in
    // which the engine had something to send.
    Step Handshake(bool untilAnswered = false) {
        for (int round = 0; round < kMaxRounds; ++round) {
            if (!offered_.empty()) {
                Bytes out;
                std::size_t consumed = 0;
                const Step step =
                    engine_.Handshake(offered_.data(), offered_.size(), consumed, out);
                Take(consumed);
                Send(out);
                if (step != Step::kWantRead || (untilAnswered && !out.empty())) {
                    return step;
                }
            }
            if (!Feed()) {
                return Step::kWantRead;
            }
        }
        return Step::kWantRead;
    }

    // Opens records until `want` bytes of plaintext have come, the peer closes, or a failure.
    Step Receive(std::size_t want) {
        for (int round = 0; round < kMaxRounds; ++round) {
            if (!offered_.empty()) {
                Bytes out;
                std::size_t consumed = 0;
                const Step step =
                    engine_.Open(offered_.data(), offered_.size(), consumed, plain_, out);
                Take(consumed);
                Send(out);
                if (step == Step::kClosed || step == Step::kFailed) {
                    return step;
                }
            }
            if (plain_.size() >= want) {
                return Step::kDone;
            }
            if (!Feed()) {
                return Step::kWantRead;
            }
        }
        return Step::kWantRead;
    }

    // Holds back everything the peer sends until it closes the connection.
    bool GatherToEnd() {
        for (int round = 0; round < kMaxRounds; ++round) {
            Bytes block;
            if (!ReceiveBlock(block)) {
                return false;
            }
            if (block.empty()) {
                return true;
            }
            held_.insert(held_.end(), block.begin(), block.end());
        }
        return false;
    }

    bool Send(const Bytes& bytes) {
        std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
        return bytes.empty() || (socket_.SendBytes(bytes.data(), size) && size == bytes.size());
    }

private:
    void Take(std::size_t consumed) {
        ASSERT_LE(consumed, offered_.size());
        offered_.erase(offered_.begin(), offered_.begin() + consumed);
    }

    // Offers the next piece of the held-back bytes, receiving a block first when none is held.
    // False when the peer sends nothing more (closed, or silent for the time-out).
    bool Feed() {
        if (heldAt_ == held_.size()) {
            held_.clear();
            heldAt_ = 0;
            if (!ReceiveBlock(held_) || held_.empty()) {
                return false;
            }
        }
        const std::size_t piece = std::min(piece_, held_.size() - heldAt_);
        offered_.insert(offered_.end(), held_.begin() + heldAt_, held_.begin() + heldAt_ + piece);
        heldAt_ += piece;
        return true;
    }

    // One receive: block gets the bytes, empty at the peer's close. False on time-out or error.
    bool ReceiveBlock(Bytes& block) {
        Bytes buffer(65536);
        std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
        if (!socket_.ReceiveBytes(buffer.data(), size)) {
            return false;
        }
        block.assign(buffer.begin(), buffer.begin() + size);
        return true;
    }

    CEventSyncSocket socket_;
    CTlsEngine engine_;
    std::size_t piece_;
    Bytes held_;
    std::size_t heldAt_ = 0;
    Bytes offered_;
    Bytes plain_;
};

// The bodies of the TLS records that bytes holds back to back; empty when they are not whole
// records of application data within the size limit.
std::vector<std::size_t> RecordBodies(const Bytes& bytes) {
    std::vector<std::size_t> bodies;
    std::size_t at = 0;
    while (at + 5 <= bytes.size()) {
        const std::size_t body = static_cast<std::size_t>(bytes[at + 3]) << 8 | bytes[at + 4];
        if (bytes[at] != 23 || body > kMaxRecordBody || at + 5 + body > bytes.size()) {
            return {};
        }
        bodies.push_back(body);
        at += 5 + body;
    }
    return at == bytes.size() ? bodies : std::vector<std::size_t>{};
}

class TlsEngineHost : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CHostServers::Get().Ready()) {
            GTEST_SKIP() << "no host TLS servers: run through tests/net/tls_engine_windows.sh";
        }
    }
    static const CHostServers& Servers() { return CHostServers::Get(); }
};

TEST(TlsEngineLocal, ATrustWithoutAUsableCertificateIsRefusedAtStart) {
    const struct {
        const char* name;
        std::string pem;
    } rows[] = {
        {"an empty text", ""},
        {"no certificate block", "not a certificate\n"},
        {"a block that is no base64",
         "-----BEGIN CERTIFICATE-----\n!!!\n-----END CERTIFICATE-----\n"},
        {"an unterminated block", "-----BEGIN CERTIFICATE-----\nMIIBszCCAVmgAwIBAgIUVA==\n"},
        {"base64 that is no certificate",
         "-----BEGIN CERTIFICATE-----\naGVsbG8gd29ybGQ=\n-----END CERTIFICATE-----\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CTlsEngine engine(CTlsTrust::Pinned(row.pem));
        Bytes out;
        EXPECT_FALSE(engine.Start(u"localhost", out));
        EXPECT_EQ(engine.ErrorCode(), kTlsFailure);
        EXPECT_TRUE(out.empty());
    }
}

// The first flight is one handshake record; a host name travels in it as the server name, an
// IP literal does not.
TEST(TlsEngineLocal, TheFirstFlightNamesHostNamesOnly) {
    const struct {
        std::u16string host;
        std::string text;
        bool named;
    } rows[] = {
        {u"localhost", "localhost", true},
        {u"logs.ombrix.example", "logs.ombrix.example", true},
        {u"127.0.0.1", "127.0.0.1", false},
        {u"::1", "::1", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        CTlsEngine engine(CTlsTrust::SystemStore());
        Bytes out;
        ASSERT_TRUE(engine.Start(row.host, out));
        EXPECT_EQ(engine.ErrorCode(), 0);
        ASSERT_GT(out.size(), 5u);
        EXPECT_EQ(out[0], 22);  // handshake
        EXPECT_EQ(out[1], 3);
        EXPECT_EQ((static_cast<std::size_t>(out[3]) << 8 | out[4]), out.size() - 5);
        const bool named =
            std::search(out.begin(), out.end(), row.text.begin(), row.text.end()) != out.end();
        EXPECT_EQ(named, row.named);
    }
}

// A peer that accepts the connection and never speaks: the engine only wants reads; how long
// to wait is the socket's to bound.
TEST(TlsEngineLocal, ASilentPeerLeavesTheEngineWantingReads) {
    CLoopbackServer server([](CLoopbackConnection& connection) { connection.Idle(); },
                           CLoopbackServer::Family::kIpv4, std::chrono::seconds(20));
    CSession session(CTlsTrust::SystemStore());
    session.Connect(server.Port());
    ASSERT_TRUE(session.Begin());
    Bytes out;
    std::size_t consumed = 1;
    EXPECT_EQ(session.Engine().Handshake(nullptr, 0, consumed, out), Step::kWantRead);
    EXPECT_EQ(consumed, 0u);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(session.Engine().ErrorCode(), 0);
}

TEST_F(TlsEngineHost, PinnedRootsAcceptTheirServersAndCarryData) {
    const struct {
        const char* name;
        const char* server;
        std::vector<const char*> pinned;
    } rows[] = {
        {"the issuing CA", "echo", {"ca"}},
        {"the issuing CA behind another", "echo", {"stranger", "ca"}},
        {"the server's own self-signed certificate", "self-signed", {"self-signed"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string pem;
        for (const char* name : row.pinned) {
            pem += Servers().Pem(name);
        }
        CSession session(CTlsTrust::Pinned(pem));
        ASSERT_TRUE(session.Connect(Servers().Port(row.server)));
        ASSERT_TRUE(session.Begin());
        ASSERT_EQ(session.Handshake(), Step::kDone) << session.Engine().ErrorCode();
        Bytes sealed;
        ASSERT_TRUE(session.Engine().Seal(BytesOf("ping").data(), 4, sealed));
        ASSERT_TRUE(session.Send(sealed));
        EXPECT_EQ(session.Receive(4), Step::kDone);
        EXPECT_EQ(session.Plain(), BytesOf("ping"));
    }
}

TEST_F(TlsEngineHost, AnyOtherCertificateOrAnOldProtocolIsRefused) {
    const struct {
        const char* name;
        const char* server;
        const char* pinned;  // null: the system store
        std::int32_t code;
    } rows[] = {
        {"another name", "wrong-name", "ca", kTlsCertificateRefused},
        {"another CA", "untrusted", "ca", kTlsCertificateRefused},
        {"expired", "expired", "ca", kTlsCertificateRefused},
        {"self-signed", "self-signed", "ca", kTlsCertificateRefused},
        {"a CA the system store does not hold", "echo", nullptr, kTlsCertificateRefused},
        {"TLS 1.1 only", "tls11", "ca", kTlsFailure},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CSession session(row.pinned != nullptr ? CTlsTrust::Pinned(Servers().Pem(row.pinned))
                                               : CTlsTrust::SystemStore());
        ASSERT_TRUE(session.Connect(Servers().Port(row.server)));
        ASSERT_TRUE(session.Begin());
        EXPECT_EQ(session.Handshake(), Step::kFailed);
        EXPECT_EQ(session.Engine().ErrorCode(), row.code);
        Bytes sealed;
        EXPECT_FALSE(session.Engine().Seal(BytesOf("log").data(), 3, sealed));
        EXPECT_TRUE(sealed.empty());
    }
}

// A large body is sealed into records of at most the maximum message, and comes back whole.
TEST_F(TlsEngineHost, ALargeTransferTravelsInManyRecords) {
    CSession session(CTlsTrust::Pinned(Servers().Pem("ca")));
    ASSERT_TRUE(session.Connect(Servers().Port("echo")));
    ASSERT_TRUE(session.Begin());
    ASSERT_EQ(session.Handshake(), Step::kDone) << session.Engine().ErrorCode();
    const Bytes body = Pattern(4 * 1024 * 1024 + 1);
    Bytes sealed;
    ASSERT_TRUE(session.Engine().Seal(body.data(), body.size(), sealed));
    const std::vector<std::size_t> records = RecordBodies(sealed);
    EXPECT_GE(records.size(), body.size() / 16384 + 1);
    ASSERT_TRUE(session.Send(sealed));
    EXPECT_EQ(session.Receive(body.size()), Step::kDone);
    EXPECT_TRUE(session.Plain() == body) << session.Plain().size() << " bytes came back";
}

// The greeting server's last flight, its data and its close, handed to the engine in pieces
// of every size from one byte to all of it at once: whatever the cut, the handshake ends, the
// greeting arrives whole, the close is seen, and every byte is taken.
TEST_F(TlsEngineHost, RecordsCutAnywhereAreTakenWhole) {
    const Bytes greeting = GreetingBytes();
    for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{7},
                                    std::size_t{100}, std::size_t{4096}, kWhole}) {
        SCOPED_TRACE("pieces of " + std::to_string(piece));
        CSession session(CTlsTrust::Pinned(Servers().Pem("ca")), piece);
        ASSERT_TRUE(session.Connect(Servers().Port("greeting")));
        ASSERT_TRUE(session.Begin());
        // Up to the engine's answer to the server's first flight; everything after it is the
        // server's, up to its close, and is held back to be handed over in pieces.
        const Step answered = session.Handshake(true);
        ASSERT_TRUE(answered == Step::kWantRead || answered == Step::kDone)
            << session.Engine().ErrorCode();
        ASSERT_TRUE(session.GatherToEnd());
        if (answered == Step::kWantRead) {
            ASSERT_EQ(session.Handshake(), Step::kDone) << session.Engine().ErrorCode();
            // Given all at once, the records behind the handshake's end are left for Open.
            if (piece == kWhole) {
                EXPECT_GT(session.Untaken(), 0u);
            }
        }
        EXPECT_EQ(session.Receive(greeting.size() + 1), Step::kClosed);
        EXPECT_TRUE(session.Plain() == greeting) << session.Plain().size() << " bytes";
        EXPECT_TRUE(session.AllTaken());
        Bytes plain;
        Bytes out;
        std::size_t consumed = 1;
        EXPECT_EQ(session.Engine().Open(nullptr, 0, consumed, plain, out), Step::kClosed);
        EXPECT_EQ(consumed, 0u);
    }
}

}  // namespace
