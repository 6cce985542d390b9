// CRawSocket: a plain system stream socket for tests, outside the classes under test: made
// here and handed to CEventSyncSocket (which then owns it, see Release), or used as a simple
// blocking client of a loopback server whose reads and writes give up after two seconds.
// Errors are Windows Sockets numbers on every platform.
#pragma once

#include <cstdint>
#include <string>

#include "net/socket/socket_handle.h"
#include "net/socket/socket_library_init.h"

class CRawSocket {
public:
    // A new unconnected stream socket of IPv4 (or IPv6); IsValid() tells whether it was made.
    explicit CRawSocket(bool ipv6 = false);
    // Takes over an existing socket.
    explicit CRawSocket(SocketHandle adopted);
    ~CRawSocket();
    CRawSocket(const CRawSocket&) = delete;
    CRawSocket& operator=(const CRawSocket&) = delete;

    bool IsValid() const { return socket_ != kInvalidSocket; }
    SocketHandle Handle() const { return socket_; }
    // Gives the socket up without closing it.
    SocketHandle Release();

    // Connects to 127.0.0.1 (or ::1) at port.
    bool ConnectToLoopback(std::uint16_t port);
    bool Send(const std::string& bytes);
    // Reads until the peer closes: 0 after an orderly end, else the error of the failed read.
    std::int32_t ReadToEnd(std::string& out);
    void ShutdownWrite();
    void Close();

    // Whether the system still knows socket as an open socket.
    static bool IsOpen(SocketHandle socket);
    // The number of a socket that was made and closed again.
    static SocketHandle ClosedSocketNumber();

private:
    CSocketLibraryInit library_;
    SocketHandle socket_ = kInvalidSocket;
    bool ipv6_ = false;
};
