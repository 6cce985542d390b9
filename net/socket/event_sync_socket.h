// CEventSyncSocket: a blocking-style stream connection whose every connect, send and receive
// waits at most the object's time-out. Failures give false and leave a Windows Sockets error
// number in the last-error field; a wait that times out gives false and leaves that field as it
// was. A second send (or receive) while one is in progress on the same object is refused with
// 10036; a send and a receive may run at the same time from two threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "net/socket/socket_buffer.h"
#include "net/socket/socket_handle.h"
#include "net/url/parsed_url.h"

struct addrinfo;
struct sockaddr;

class CEventSyncSocket {
public:
    static constexpr std::uint32_t kDefaultTimeoutMs = 10000;

    // Starts the process-wide socket library (its result is not looked at).
    CEventSyncSocket();
    ~CEventSyncSocket();
    CEventSyncSocket(const CEventSyncSocket&) = delete;
    CEventSyncSocket& operator=(const CEventSyncSocket&) = delete;

    // Creates a socket and attaches it; 10037 when one is already open (it is kept). extraFlags:
    // on Windows, creation flags added to WSA_FLAG_OVERLAPPED (low 16 bits); unused on POSIX,
    // where the socket is always non-blocking.
    bool OpenSocket(int family, int type, int protocol, std::uint32_t extraFlags);
    bool OpenForAddress(const addrinfo* entry, std::uint32_t extraFlags);
    // Takes over an existing socket; 10038 for kInvalidSocket or a handle that is no socket,
    // 10037 when one is already open.
    bool AttachSocket(SocketHandle socket);

    // Resolves host (UTF-16 name or dotted address) and tries its addresses in the resolver's
    // order until one connects, all of them within the one time-out: each attempt waits at most
    // an equal share of what is left for it and the attempts after it (the last one all that is
    // left), so an address that never answers leaves time for the next, and a name of one
    // address waits the whole time-out as one ConnectToAddress does. The first attempt uses the
    // socket already open, if any; every later one closes the socket of the attempt before and
    // starts on a fresh one of its entry's family; the last attempt's socket is left as
    // ConnectRaw leaves it. True at once when already connected.
    // A resolution failure leaves the resolver's code. After a resolution the field is as the
    // attempts leave it, one after another: a failed connect ends with the code of the last
    // attempt that failed with an error, or with the resolution's 0 when every attempt only
    // timed out; a connection made to a later address keeps the code of the attempts before it.
    bool ConnectTo(const char16_t* host, std::uint16_t port);
    // A proxy is connected to as any server: ConnectTo.
    bool ConnectToProxy(const char16_t* host, std::uint16_t port) { return ConnectTo(host, port); }
    // Plain http never asks a proxy for a tunnel; refused with 10045.
    bool StartTunnelTls(const char16_t* host, const std::uint8_t* early, std::uint32_t earlyLength);
    // Opens a socket for the entry when none is open, then connects to its address.
    bool ConnectToAddress(const addrinfo* entry);
    // Connects the open socket; false without a socket. Waits at most the time-out. On Windows a
    // failed or timed-out attempt closes the socket, so the next connect starts on a fresh one;
    // on POSIX the attempt is dissolved and the socket stays open for the next.
    bool ConnectRaw(const sockaddr* address, int addressLength);

    // Sends every byte the descriptors describe; bytesSent receives the count that went out,
    // also when the send fails or times out part way. 10057 when not connected.
    bool SendBuffers(const CSocketBuffer* buffers, std::uint32_t count, std::uint32_t& bytesSent);
    // size: in, the bytes to send; out, the bytes sent.
    bool SendBytes(const void* buffer, std::uint32_t& size);
    // size: in, the room in buffer; out, the bytes received. True with 0 means the peer closed.
    bool ReceiveBytes(void* buffer, std::uint32_t& size);

    // Closes the socket, if any; the object can then connect again.
    void CloseSocket();
    // Forgets the socket without closing it (the caller keeps it).
    void ReleaseEvents();

    // Installs a new time-out for every later wait and returns the previous one.
    std::uint32_t ExchangeTimeout(std::uint32_t milliseconds);

    // True only for SchemeHttp: the connection speaks plain HTTP.
    bool IsSchemeSupported(UrlSchemeKind kind) const;

    // The Windows Sockets number of the last failure (0 until one happens).
    std::int32_t LastError() const { return lastError_.load(); }

private:
    // One direction (sends or receives): held for the whole of an operation, and a second
    // operation of the same kind is refused (10036), never queued. An atomic flag on POSIX; on
    // Windows a critical section with the direction's overlapped record, kept in the object so
    // that it outlives any operation (event_sync_socket_win32.cpp).
    class CDirection {
    public:
        CDirection();
        ~CDirection();
        CDirection(const CDirection&) = delete;
        CDirection& operator=(const CDirection&) = delete;

        bool TryEnter();
        void Leave();

#ifdef _WIN32
        struct CSystemState;
        CSystemState& System() {
            return *system_;
        }

    private:
        std::unique_ptr<CSystemState> system_;
#else
    private:
        std::atomic<bool> busy_{false};
#endif
    };

    void SetLastError(std::int32_t code) {
        lastError_.store(code);
    }
    // 10057 unless connected.
    bool CheckConnected();
    // Enters direction for a send or receive: 10057 unless connected, 10036 while another
    // operation of the kind is in progress.
    bool EnterConnected(CDirection& direction);

    // ConnectToAddress and ConnectRaw with a wait of at most waitMs instead of the time-out.
    bool ConnectEntryWithin(const addrinfo* entry, std::uint32_t waitMs);
    bool ConnectRawWithin(const sockaddr* address, int addressLength, std::uint32_t waitMs);

    // The platform halves of ConnectRaw, SendBuffers and ReceiveBytes, called with an open
    // socket and checked arguments; the connect waits at most waitMs, the send and the receive
    // hold their direction.
    bool ConnectOpenSocket(const sockaddr* address, int addressLength, std::uint32_t waitMs);
    bool SendHeld(const CSocketBuffer* buffers, std::uint32_t count, std::uint32_t& bytesSent);
    bool ReceiveHeld(void* buffer, std::uint32_t capacity, std::uint32_t& size);

#ifdef _WIN32
    // Flags of every socket OpenSocket makes: WSA_FLAG_OVERLAPPED.
    std::uint32_t creationFlags_ = 1;
    // Manual-reset event objects: the completion events of the pending receive and send
    // (signalled when none is pending), and the connect event (signalled once the connection
    // attempt has completed).
    void* readEvent_ = nullptr;
    void* writeEvent_ = nullptr;
    void* connectEvent_ = nullptr;
    // The connection check and the pending check of a send or receive whose completion event
    // is event: 10057 when the connect event is not signalled in time, 10036 while pending.
    bool ReadyFor(void* event);
#endif
    CDirection readDirection_;
    CDirection writeDirection_;
    SocketHandle socket_ = kInvalidSocket;
    std::atomic<bool> connected_{false};
    std::atomic<std::int32_t> lastError_{0};
    std::atomic<std::uint32_t> timeoutMs_{kDefaultTimeoutMs};
};
