// Fuzz target for the TLS engine's record handling (the part that is this project's own code:
// whole records only, the rest left to the caller, plaintext handed out once and in order).
// The first byte picks the case:
//   even: a fresh session's handshake is fed the remaining bytes as the server's answer, cut
//         into reads of a size the second byte chooses;
//   odd:  a session established with an in-memory OpenSSL server receives records that server
//         sealed from up to four message sizes the input chooses, cut into reads of a chosen size,
//         and optionally ended by close_notify or with one byte flipped on the way.
// Checks: consumed never exceeds what was offered, only whole records are consumed, an engine
// asking for more never leaves a whole record behind, and an untouched stream gives back
// exactly the plaintext sent. The sanitizers catch every access out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/tls/tls_engine.h"
#include "net/tls/tls_record_length.h"
#include "tests/support/fuzz_script.h"
#include "tests/support/memory_tls_peer.h"

namespace {

using Step = CTlsEngine::Step;

const std::uint8_t* Bytes(const std::string& text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

std::string AsText(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Drops the consumed bytes from pending after checking that they were whole records and that
// an engine waiting for more left no whole record.
void Consume(std::string& pending, std::size_t consumed, Step step) {
    RequireFuzzProperty(consumed <= pending.size());
    for (std::size_t at = 0; at < consumed;) {
        const std::size_t record = WholeTlsRecordLength(Bytes(pending) + at, consumed - at);
        RequireFuzzProperty(record != 0 && record != kTlsRecordInvalid);
        at += record;
    }
    pending.erase(0, consumed);
    if (step == Step::kWantRead) {
        RequireFuzzProperty(WholeTlsRecordLength(Bytes(pending), pending.size()) == 0);
    }
}

void FuzzHandshake(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return;
    }
    const std::size_t piece = data[0] + 1u;
    const std::string fromPeer(reinterpret_cast<const char*>(data + 1), size - 1);
    CTlsEngine engine(CTlsTrust::Pinned(CMemoryTlsPeer::CertificatePem()));
    std::vector<std::uint8_t> out;
    RequireFuzzProperty(engine.Start(u"localhost", out));
    std::string pending;
    for (std::size_t at = 0; at < fromPeer.size(); at += piece) {
        pending += fromPeer.substr(at, piece);
        std::size_t consumed = 0;
        const Step step = engine.Handshake(Bytes(pending), pending.size(), consumed, out);
        Consume(pending, consumed, step);
        if (step == Step::kFailed) {
            RequireFuzzProperty(engine.ErrorCode() == kTlsFailure ||
                                engine.ErrorCode() == kTlsCertificateRefused);
            return;
        }
        if (step != Step::kWantRead) {
            return;
        }
    }
}

// Establishes engine with peer, the flights carried whole; false when it does not complete.
bool Establish(CTlsEngine& engine, CMemoryTlsPeer& peer, std::string& backlog) {
    std::vector<std::uint8_t> out;
    if (!engine.Start(u"localhost", out)) {
        return false;
    }
    for (int flight = 0; flight < 4; ++flight) {
        const std::string fromPeer = peer.Take(AsText(out));
        out.clear();
        std::size_t consumed = 0;
        const Step step = engine.Handshake(Bytes(fromPeer), fromPeer.size(), consumed, out);
        if (step == Step::kDone) {
            backlog = fromPeer.substr(consumed) + peer.Take(AsText(out));
            return peer.Established();
        }
        if (step != Step::kWantRead) {
            return false;
        }
    }
    return false;
}

void FuzzRecords(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return;
    }
    const std::size_t piece = (std::size_t{data[0]} << 8 | data[1]) + 1u;
    const std::uint8_t options = data[2];
    CTlsEngine engine(CTlsTrust::Pinned(CMemoryTlsPeer::CertificatePem()));
    CMemoryTlsPeer peer((options & 1) != 0);
    std::string stream;
    RequireFuzzProperty(Establish(engine, peer, stream));
    std::string sent;
    for (std::size_t at = 3; at + 1 < size && at < 3 + 2 * 4; at += 2) {
        const std::string message((std::size_t{data[at]} << 8 | data[at + 1]) % 20000 + 1,
                                  static_cast<char>(at));
        sent += message;
        stream += peer.Seal(message);
    }
    const bool closed = (options & 2) != 0;
    if (closed) {
        stream += peer.CloseNotify();
    }
    const bool flipped = (options & 4) != 0 && !stream.empty();
    if (flipped) {
        stream[(std::size_t{options} * 131) % stream.size()] ^= 0x20;
    }
    std::string pending;
    std::string plain;
    Step step = Step::kDone;
    for (std::size_t at = 0; at < stream.size() && (step == Step::kDone || step == Step::kWantRead);
         at += piece) {
        pending += stream.substr(at, piece);
        std::size_t consumed = 0;
        std::vector<std::uint8_t> opened;
        std::vector<std::uint8_t> out;
        step = engine.Open(Bytes(pending), pending.size(), consumed, opened, out);
        plain += AsText(opened);
        Consume(pending, consumed, step);
        RequireFuzzProperty(step != Step::kWantRead || !pending.empty());
    }
    RequireFuzzProperty(plain.size() <= sent.size() && sent.compare(0, plain.size(), plain) == 0);
    if (!flipped) {
        RequireFuzzProperty(plain == sent);
        RequireFuzzProperty(step == (closed ? Step::kClosed : Step::kDone));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    if ((data[0] & 1) == 0) {
        FuzzHandshake(data + 1, size - 1);
    } else {
        FuzzRecords(data + 1, size - 1);
    }
    return 0;
}
