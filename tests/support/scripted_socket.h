// CScriptedSocket: a stand-in for the event-synchronised socket with the same members the
// HTTP client uses, playing a byte script instead of a network. A CSocketScript owned by the
// test holds one CScriptedConnection per connection the client will open: the reads the
// peer delivers (whole, in pieces of a chosen size, cut at chosen offsets), read failures and
// time-outs, what reads give once the script is played (the peer closed, or time-outs), how
// much the peer accepts before sends stall; and it records every connect, every write
// (bytes and buffer count) and every close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "net/socket/socket_buffer.h"
#include "net/url/parsed_url.h"
#include "platform/wide_text.h"

class CScriptedConnection {
public:
    // The next reads deliver these bytes; a read with less room leaves the rest for the next.
    CScriptedConnection& Reply(std::string_view bytes);
    // The bytes as reads of at most pieceSize bytes each (1: one byte per read).
    CScriptedConnection& ReplyInPieces(std::string_view bytes, std::size_t pieceSize);
    // The bytes as reads that end at the given ascending offsets and at the end.
    CScriptedConnection& ReplyCutAt(std::string_view bytes, const std::vector<std::size_t>& cuts);
    // Reads that deliver nothing although the connection stays up.
    CScriptedConnection& EmptyReads(int count);
    // One read that fails like a time-out: false, last error unchanged.
    CScriptedConnection& TimeOut();
    // One read that fails with the given Windows Sockets error.
    CScriptedConnection& Fail(std::int32_t error);
    // Once the script is played, reads time out instead of reporting the peer's close.
    CScriptedConnection& ThenTimeOut();
    // The peer takes this many more bytes; a write beyond stops there and times out.
    CScriptedConnection& AcceptOnly(std::size_t bytes);

    struct Write {
        std::uint32_t bytes;
        std::uint32_t buffers;
    };
    const std::string& Sent() const { return sent_; }
    const std::vector<Write>& Writes() const { return writes_; }
    // Drops the record of what was sent so far (long-running benchmarks).
    void ForgetSent() {
        sent_.clear();
        writes_.clear();
        readRooms_.clear();
    }
    int ReadsMade() const { return static_cast<int>(readRooms_.size()); }
    // The room each read offered, in order.
    const std::vector<std::uint32_t>& ReadRooms() const { return readRooms_; }
    bool ClosedByClient() const { return closedByClient_; }
    // The TLS the client started through a proxy's tunnel on this connection: the host it
    // named, the bytes it handed on as the session's first, and how much it had sent before.
    // The script plays on after it, the bytes standing for the plaintext.
    struct Tunnel {
        bool started = false;
        WideString host;
        std::string early;
        std::size_t sentBefore = 0;
    };
    const Tunnel& TunnelStarted() const { return tunnel_; }

private:
    friend class CScriptedSocket;
    struct Read {
        enum class Kind { kBytes, kTimeout, kError };
        Kind kind;
        std::string bytes;
        std::int32_t error;
        std::size_t taken = 0;  // bytes of this read already delivered
    };

    std::deque<Read> reads_;
    bool timeoutWhenPlayed_ = false;
    std::size_t acceptLimit_ = static_cast<std::size_t>(-1);
    std::string sent_;
    std::vector<Write> writes_;
    std::vector<std::uint32_t> readRooms_;
    bool closedByClient_ = false;
    Tunnel tunnel_;
};

class CSocketScript {
public:
    // The connection the next successful connect opens (in the order added).
    CScriptedConnection& AddConnection();
    // The next connect attempt fails with the given error.
    void RefuseNextConnect(std::int32_t error);

    CScriptedConnection& Connection(std::size_t index) { return connections_.at(index); }
    std::size_t ConnectionsOpened() const { return opened_; }
    // Host and port of every connect that opened a connection, to a proxy or a server.
    // ConnectToProxy marks its entries with a leading "proxy ".
    const std::vector<std::pair<WideString, std::uint16_t>>& Connects() const { return connects_; }
    // The time-out the socket holds now.
    std::uint32_t TimeoutMs() const { return timeoutMs_; }
    // The one scheme the socket speaks, as CEventSyncSocket speaks http (the default) and
    // CTlsSocket https.
    void SpeakOnly(UrlSchemeKind kind) { scheme_ = kind; }

private:
    friend class CScriptedSocket;
    std::deque<CScriptedConnection> connections_;
    std::deque<std::int32_t> refusals_;
    std::size_t opened_ = 0;
    std::vector<std::pair<WideString, std::uint16_t>> connects_;
    std::uint32_t timeoutMs_ = 10000;
    UrlSchemeKind scheme_ = SchemeHttp;
};

class CScriptedSocket {
public:
    explicit CScriptedSocket(CSocketScript& script) : script_(script) {}
    ~CScriptedSocket() { CloseSocket(); }
    CScriptedSocket(const CScriptedSocket&) = delete;
    CScriptedSocket& operator=(const CScriptedSocket&) = delete;

    bool ConnectTo(const char16_t* host, std::uint16_t port);
    bool ConnectToProxy(const char16_t* host, std::uint16_t port);
    bool StartTunnelTls(const char16_t* host, const std::uint8_t* early, std::uint32_t earlyLength);
    bool SendBuffers(const CSocketBuffer* buffers, std::uint32_t count, std::uint32_t& bytesSent);
    bool SendBytes(const void* buffer, std::uint32_t& size);
    bool ReceiveBytes(void* buffer, std::uint32_t& size);
    void CloseSocket();
    std::uint32_t ExchangeTimeout(std::uint32_t milliseconds);
    bool IsSchemeSupported(UrlSchemeKind kind) const;
    std::int32_t LastError() const { return lastError_; }

private:
    CScriptedConnection* Current();

    CSocketScript& script_;
    CScriptedConnection* connection_ = nullptr;
    std::int32_t lastError_ = 0;
};
