// CTlsSocket: the second socket type of CHttpClientT, an https connection. It owns a
// CEventSyncSocket as its transport and a CTlsEngine per connection, and keeps the transport's
// promises: ConnectTo does the TCP connect, the handshake and the certificate check within one
// time-out; every send and every receive waits at most the time-out (the transport's own
// time-out is shrunk to what is left of it before each call); a time-out gives false and leaves
// the last error as it was; the transport sends without SIGPIPE. SendBuffers counts plaintext
// bytes, ReceiveBytes hands out buffered plaintext first and 0 at the peer's close, whether the
// peer sent close_notify or only closed TCP: the response's own framing says whether a body is
// whole, and a body read to the close ends there either way.
//
// Through a proxy, ConnectToProxy connects the transport alone and sends and receives pass
// through it unchanged (the CONNECT and its answer) until StartTunnelTls starts the session with
// the server at the tunnel's far end.
//
// Failures of the TLS session leave kTlsCertificateRefused or kTlsFailure in the last-error
// field, failures of the transport its Windows Sockets number. One thread at a time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "net/socket/event_sync_socket.h"
#include "net/socket/socket_buffer.h"
#include "net/tls/tls_engine.h"
#include "net/url/parsed_url.h"

class CTlsSocket {
public:
    // Trusts the roots the program was built with (BuiltInTlsRoots).
    CTlsSocket();
    explicit CTlsSocket(CTlsTrust trust);
    ~CTlsSocket();
    CTlsSocket(const CTlsSocket&) = delete;
    CTlsSocket& operator=(const CTlsSocket&) = delete;

    // Connects to host and port and completes the handshake for host, all within one
    // time-out. True at once when already connected.
    bool ConnectTo(const char16_t* host, std::uint16_t port);
    // Connects only the transport, to a proxy: sends and receives then go to it as they are,
    // until StartTunnelTls. The time-out bounds the connect.
    bool ConnectToProxy(const char16_t* host, std::uint16_t port);
    // Completes the handshake for host through the tunnel the proxy opened, within one
    // time-out; early holds the bytes the proxy sent behind its answer, the session's first.
    bool StartTunnelTls(const char16_t* host, const std::uint8_t* early, std::uint32_t earlyLength);
    // Sends every plaintext byte the descriptors describe; bytesSent receives the plaintext
    // bytes whose records went out whole, also when the send fails part way.
    bool SendBuffers(const CSocketBuffer* buffers, std::uint32_t count, std::uint32_t& bytesSent);
    bool SendBytes(const void* buffer, std::uint32_t& size);
    // size: in, the room in buffer; out, the plaintext bytes received. True with 0: the peer
    // closed.
    bool ReceiveBytes(void* buffer, std::uint32_t& size);
    // Drops the connection and its session; the object can connect again.
    void CloseSocket();
    std::uint32_t ExchangeTimeout(std::uint32_t milliseconds);
    // True only for SchemeHttps: this connection never carries plain http.
    bool IsSchemeSupported(UrlSchemeKind kind) const;
    std::int32_t LastError() const { return lastError_; }

private:
    using Clock = std::chrono::steady_clock;

    bool Handshake(const char16_t* host, Clock::time_point deadline);
    // Handshake, with exhausted memory as a failure; a failure closes the connection.
    bool ShakeHands(const char16_t* host, Clock::time_point deadline);
    // Gives the transport what is left until deadline as its time-out; false when nothing is.
    bool GiveTransportTimeLeft(Clock::time_point deadline);
    // The transport's error after a failed call, when the call set one (a time-out does not).
    bool TransportFailed(std::int32_t errorBefore);
    bool SendToPeer(const std::vector<std::uint8_t>& bytes, Clock::time_point deadline);
    // Appends what the transport delivers to received_; a close sets peerClosed_.
    bool ReceiveMore(Clock::time_point deadline);
    // Decrypts the whole records of received_ into plain_ and answers what the session must.
    bool OpenReceived(Clock::time_point deadline);
    // Moves buffered plaintext to buffer; false when there is none.
    bool TakePlain(void* buffer, std::uint32_t capacity, std::uint32_t& size);
    bool EngineFailed();

    CTlsTrust trust_;
    CEventSyncSocket transport_;
    std::unique_ptr<CTlsEngine> engine_;
    std::vector<std::uint8_t> received_;  // bytes from the peer not consumed by the session
    std::vector<std::uint8_t> plain_;     // plaintext not handed out yet, from plainTaken_ on
    std::size_t plainTaken_ = 0;
    bool connected_ = false;
    // The transport is connected to a proxy and carries plain bytes, before the tunnel's TLS.
    bool toProxy_ = false;
    bool peerClosed_ = false;
    std::uint32_t timeoutMs_ = CEventSyncSocket::kDefaultTimeoutMs;
    std::int32_t lastError_ = 0;
};
