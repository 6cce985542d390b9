// CTlsEngine against a TLS server over memory buffers (CMemoryTlsPeer): the test carries the
// bytes between the two and chooses where the transport cuts them, so the engine's own record
// handling is what is tested: only whole records are consumed, whatever is cut stays with the
// caller, the plaintext of every record comes out once and in order, and the records behind
// the handshake belong to Open.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "net/tls/tls_engine.h"
#include "net/tls/tls_record_length.h"
#include "tests/support/memory_tls_peer.h"

namespace {

using Step = CTlsEngine::Step;

std::string AsText(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

const std::uint8_t* Bytes(const std::string& text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

// A client engine, the peer, and the bytes on their way between them.
class CSession {
public:
    explicit CSession(bool maxTls12 = false,
                      CTlsTrust trust = CTlsTrust::Pinned(CMemoryTlsPeer::CertificatePem()))
        : peer(maxTls12), engine(trust) {}

    // Runs the handshake for host, the peer's bytes reaching the engine in pieces of piece
    // bytes (0: each flight whole). Checks on every call that only whole records were taken.
    Step Connect(std::size_t piece, const std::u16string& host = u"localhost") {
        std::vector<std::uint8_t> out;
        if (!engine.Start(host, out)) {
            return Step::kFailed;
        }
        for (int flight = 0; flight < 8; ++flight) {
            const std::string fromPeer = peer.Take(AsText(out));
            out.clear();
            Step step = Step::kWantRead;
            Deliver(fromPeer, piece, [&] {
                std::size_t consumed = 0;
                step = engine.Handshake(Bytes(pending), pending.size(), consumed, out);
                Consume(consumed, step);
                return step == Step::kWantRead;
            });
            if (step == Step::kDone) {
                // The client's Finished; a TLS 1.3 peer answers with its session tickets.
                backlog = peer.Take(AsText(out));
            }
            if (step != Step::kWantRead) {
                toPeer = AsText(out);
                return step;
            }
        }
        return Step::kWantRead;
    }

    // Gives the engine the peer's bytes not delivered yet and then fromPeer, in pieces, as a
    // socket's receives would; the plaintext goes to plain. The last step taken.
    Step Receive(const std::string& fromPeer, std::size_t piece) {
        Step step = Step::kDone;
        Deliver(std::exchange(backlog, std::string()) + fromPeer, piece, [&] {
            std::size_t consumed = 0;
            std::vector<std::uint8_t> out;
            std::vector<std::uint8_t> opened;
            step = engine.Open(Bytes(pending), pending.size(), consumed, opened, out);
            plain += AsText(opened);
            Consume(consumed, step);
            // Open waits for more exactly when an incomplete record is left.
            EXPECT_EQ(step == Step::kWantRead, !pending.empty());
            return step == Step::kDone || step == Step::kWantRead;
        });
        return step;
    }

    CMemoryTlsPeer peer;
    CTlsEngine engine;
    std::string pending;  // bytes from the peer the engine has not consumed
    std::string plain;
    std::string toPeer;
    std::string backlog;  // sent by the peer after the handshake, not delivered yet

private:
    // Appends fromPeer to pending piece by piece, calling offer after each; stops when offer
    // says no more.
    template <typename Offer>
    void Deliver(const std::string& fromPeer, std::size_t piece, Offer offer) {
        if (fromPeer.empty()) {
            offer();
            return;
        }
        const std::size_t step = piece == 0 ? fromPeer.size() : piece;
        for (std::size_t at = 0; at < fromPeer.size(); at += step) {
            pending += fromPeer.substr(at, step);
            if (!offer()) {
                pending += at + step < fromPeer.size() ? fromPeer.substr(at + step) : "";
                return;
            }
        }
    }

    // Drops what the engine consumed, checking that it was whole records and that what is
    // left, when the engine waits for more, is no whole record.
    void Consume(std::size_t consumed, Step step) {
        ASSERT_LE(consumed, pending.size());
        for (std::size_t at = 0; at < consumed;) {
            const std::size_t record = WholeTlsRecordLength(Bytes(pending) + at, consumed - at);
            ASSERT_NE(record, 0u) << "a record was consumed in part";
            ASSERT_NE(record, kTlsRecordInvalid);
            at += record;
        }
        pending.erase(0, consumed);
        if (step == Step::kWantRead) {
            EXPECT_EQ(WholeTlsRecordLength(Bytes(pending), pending.size()), 0u)
                << "a whole record was left while the engine asked for more";
        }
    }
};

TEST(TlsEngine, HandshakeTakesWholeRecordsWhereverTheTransportCuts) {
    const struct {
        const char* name;
        std::size_t piece;
        bool maxTls12;
    } cases[] = {{"flights whole, TLS 1.3", 0, false},     {"one byte per read, TLS 1.3", 1, false},
                 {"3-byte reads (cut headers)", 3, false}, {"5-byte reads", 5, false},
                 {"700-byte reads", 700, false},           {"flights whole, TLS 1.2", 0, true},
                 {"one byte per read, TLS 1.2", 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CSession session(c.maxTls12);
        ASSERT_EQ(session.Connect(c.piece), Step::kDone);
        ASSERT_TRUE(session.peer.Established());

        std::vector<std::uint8_t> sealed;
        ASSERT_TRUE(session.engine.Seal(Bytes(std::string("ping")), 4, sealed));
        session.peer.Take(AsText(sealed));
        EXPECT_EQ(session.peer.Received(), "ping");
        EXPECT_EQ(session.Receive(session.peer.Seal("pong"), c.piece), Step::kDone);
        EXPECT_EQ(session.plain, "pong");
    }
}

TEST(TlsEngine, OpenGivesThePlaintextOfEveryWholeRecordOnceAndInOrder) {
    const std::vector<std::size_t> sizes[] = {{1}, {16384}, {40000}, {5, 70000, 3}};
    const std::size_t pieces[] = {0, 1, 4, 4099, 16389};
    for (const auto& messageSizes : sizes) {
        for (const std::size_t piece : pieces) {
            SCOPED_TRACE("messages " + std::to_string(messageSizes.size()) + ", first " +
                         std::to_string(messageSizes[0]) + ", piece " + std::to_string(piece));
            CSession session;
            ASSERT_EQ(session.Connect(0), Step::kDone);
            std::string sent;
            std::string records;
            for (std::size_t i = 0; i < messageSizes.size(); ++i) {
                const std::string message(messageSizes[i], static_cast<char>('a' + i));
                sent += message;
                records += session.peer.Seal(message);
            }
            EXPECT_EQ(session.Receive(records, piece), Step::kDone);
            EXPECT_TRUE(session.pending.empty());
            EXPECT_TRUE(session.plain == sent) << session.plain.size() << " of " << sent.size();
        }
    }
}

TEST(TlsEngine, RecordsBehindTheLastHandshakeRecordAreLeftToOpen) {
    // TLS 1.2: the server's last flight ends with its Finished, and it may send data at once.
    CSession session(true);
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(session.engine.Start(u"localhost", out));
    std::string fromPeer = session.peer.Take(AsText(out));
    out.clear();
    std::size_t consumed = 0;
    ASSERT_EQ(session.engine.Handshake(Bytes(fromPeer), fromPeer.size(), consumed, out),
              Step::kWantRead);
    EXPECT_EQ(consumed, fromPeer.size());
    std::string lastFlight = session.peer.Take(AsText(out));
    lastFlight += session.peer.Seal("early");
    out.clear();
    ASSERT_EQ(session.engine.Handshake(Bytes(lastFlight), lastFlight.size(), consumed, out),
              Step::kDone);
    ASSERT_LT(consumed, lastFlight.size());
    session.pending = lastFlight.substr(consumed);
    EXPECT_EQ(session.Receive("", 0), Step::kDone);
    EXPECT_EQ(session.plain, "early");
}

TEST(TlsEngine, CloseNotifyEndsTheStreamAfterThePlaintextBeforeIt) {
    const std::size_t pieces[] = {0, 1};
    for (const std::size_t piece : pieces) {
        CSession session;
        ASSERT_EQ(session.Connect(0), Step::kDone);
        std::string records = session.peer.Seal("last words");
        records += session.peer.CloseNotify();
        EXPECT_EQ(session.Receive(records, piece), Step::kClosed) << piece;
        EXPECT_EQ(session.plain, "last words") << piece;
    }
}

TEST(TlsEngine, RefusalsCarryTheCertificateCodeAndOtherFailuresTheTlsCode) {
    CSession wrongName;
    EXPECT_EQ(wrongName.Connect(0, u"other-name.invalid"), Step::kFailed);
    EXPECT_EQ(wrongName.engine.ErrorCode(), kTlsCertificateRefused);
    EXPECT_FALSE(wrongName.toPeer.empty()) << "the alert that tells the peer why";

    CSession systemStore(false, CTlsTrust::SystemStore());
    EXPECT_EQ(systemStore.Connect(0), Step::kFailed);
    EXPECT_EQ(systemStore.engine.ErrorCode(), kTlsCertificateRefused);

    CSession brokenTrust(false, CTlsTrust::Pinned("-----BEGIN CERTIFICATE-----\nnot base64\n"));
    std::vector<std::uint8_t> out;
    EXPECT_FALSE(brokenTrust.engine.Start(u"localhost", out));
    EXPECT_EQ(brokenTrust.engine.ErrorCode(), kTlsFailure);

    CSession plainHttpServer;
    ASSERT_TRUE(plainHttpServer.engine.Start(u"localhost", out));
    const std::string answer = "HTTP/1.1 400 Bad Request\r\n\r\n";
    std::size_t consumed = 0;
    EXPECT_EQ(plainHttpServer.engine.Handshake(Bytes(answer), answer.size(), consumed, out),
              Step::kFailed);
    EXPECT_EQ(plainHttpServer.engine.ErrorCode(), kTlsFailure);
    EXPECT_EQ(consumed, 0u);
}

// Pinned roots are exactly their certificates: a text with none trusts nothing, not even after
// the system store has served a session of the same process, whose text is empty too.
TEST(TlsEngine, PinnedRootsWithoutAUsableCertificateTrustNothing) {
    std::vector<std::uint8_t> out;
    CTlsEngine systemStore(CTlsTrust::SystemStore());
    ASSERT_TRUE(systemStore.Start(u"localhost", out));
    const struct {
        const char* name;
        std::string pem;
    } rows[] = {
        {"an empty text", ""},
        {"no certificate block", "not a certificate\n"},
        {"a block that is no base64",
         "-----BEGIN CERTIFICATE-----\n!!!\n-----END CERTIFICATE-----\n"},
        {"base64 that is no certificate",
         "-----BEGIN CERTIFICATE-----\naGVsbG8gd29ybGQ=\n-----END CERTIFICATE-----\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CTlsEngine engine(CTlsTrust::Pinned(row.pem));
        out.clear();
        EXPECT_FALSE(engine.Start(u"localhost", out));
        EXPECT_EQ(engine.ErrorCode(), kTlsFailure);
        EXPECT_TRUE(out.empty());
    }
}

TEST(TlsEngine, ARecordThatDoesNotDecryptFailsTheSession) {
    CSession session;
    ASSERT_EQ(session.Connect(0), Step::kDone);
    std::string records = session.peer.Seal("payload");
    records[records.size() - 1] ^= 0x01;  // the authentication tag no longer matches
    EXPECT_EQ(session.Receive(records, 0), Step::kFailed);
    EXPECT_EQ(session.engine.ErrorCode(), kTlsFailure);
    EXPECT_EQ(session.plain, "");
    std::vector<std::uint8_t> sealed;
    EXPECT_FALSE(session.engine.Seal(Bytes(records), 1, sealed)) << "a failed session stays so";
}

}  // namespace
