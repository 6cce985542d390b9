// CTlsEngine: one TLS client session as a pure byte transformer. It never touches a socket:
// the caller hands it the bytes that came off the connection and sends the bytes it hands
// back, so the socket's time-out and no-signal rules stay in one place (CTlsSocket) and the
// record handling can be driven by a scripted transport. The platform halves are
// tls_engine_posix.cpp (OpenSSL over memory buffers, one shared context per trust) and
// tls_engine_win32.cpp (Schannel, the certificate chain always checked by the engine itself).
//
// Every session checks the peer's certificate against the trust it was made with and the
// host name (or IP literal) it was started for, and speaks TLS 1.2 or newer; there is no way
// to turn either off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Last-error codes of a TLS connection. They sit far outside the Windows Sockets numbers
// (10000..11999) and the resolver's codes, so a caller can tell them apart.
constexpr std::int32_t kTlsCertificateRefused = 0x4F540001;
constexpr std::int32_t kTlsFailure = 0x4F540002;

// The roots a session trusts: the system store, or exactly the certificates of a PEM text and
// nothing else. The two are told apart by how the trust was made, never by the text: pinned
// roots whose text holds no usable certificate (none at all, an empty text included) trust
// nothing, and every session made with them fails to start.
class CTlsTrust {
public:
    static CTlsTrust SystemStore() { return CTlsTrust(false, std::string()); }
    static CTlsTrust Pinned(std::string pem) { return CTlsTrust(true, std::move(pem)); }

    bool IsPinned() const noexcept { return pinned_; }
    // The PEM text of pinned roots; empty for the system store.
    const std::string& Pem() const noexcept { return pem_; }

private:
    CTlsTrust(bool pinned, std::string pem) : pinned_(pinned), pem_(std::move(pem)) {}

    bool pinned_;
    std::string pem_;
};

class CTlsEngine {
public:
    enum class Step {
        kDone,      // the handshake is complete / the records given were taken in
        kWantRead,  // more bytes from the peer are needed to go on
        kClosed,    // the peer ended the stream (close_notify, or its expired context)
        kFailed,    // see ErrorCode()
    };

    explicit CTlsEngine(const CTlsTrust& trust);
    ~CTlsEngine();
    CTlsEngine(const CTlsEngine&) = delete;
    CTlsEngine& operator=(const CTlsEngine&) = delete;

    // Begins a client handshake for host (UTF-16 name or IP literal, as in the URL) and
    // appends the first flight to out. False (ErrorCode set) when no session can be made.
    bool Start(const std::u16string& host, std::vector<std::uint8_t>& out);

    // Takes bytes the peer sent during the handshake. consumed receives how many of them were
    // used (the rest, if any, must be offered again with more bytes behind them); every byte
    // that must go to the peer is appended to out, also on kFailed (an alert). kDone once the
    // handshake and the certificate check have passed; bytes after the handshake's end that
    // were not consumed belong to Open.
    Step Handshake(const std::uint8_t* in, std::size_t inLength, std::size_t& consumed,
                   std::vector<std::uint8_t>& out);

    // Encrypts plaintext into records appended to out.
    bool Seal(const std::uint8_t* plain, std::size_t length, std::vector<std::uint8_t>& out);

    // Takes records from the peer: consumed as for Handshake, their plaintext appended to
    // plain, and any bytes the session must send in answer (key updates, tickets
    // acknowledgements) appended to out. kDone when every byte given was taken in; kWantRead
    // when an incomplete record is left unconsumed (the plaintext of the whole records before
    // it is in plain all the same); kClosed at the peer's close.
    Step Open(const std::uint8_t* in, std::size_t inLength, std::size_t& consumed,
              std::vector<std::uint8_t>& plain, std::vector<std::uint8_t>& out);

    // kTlsCertificateRefused or kTlsFailure after a false or kFailed; 0 before.
    std::int32_t ErrorCode() const noexcept { return error_; }

private:
    struct CState;
    std::unique_ptr<CState> state_;
    std::int32_t error_ = 0;
};
