// CNonSocketHandle: an open handle of the system that is not a socket (a pipe end on POSIX, an
// event object on Windows), for tests that a socket object refuses it and leaves it open.
// Closed on destruction.
#pragma once

#include "net/socket/socket_handle.h"

class CNonSocketHandle {
public:
    CNonSocketHandle();
    ~CNonSocketHandle();
    CNonSocketHandle(const CNonSocketHandle&) = delete;
    CNonSocketHandle& operator=(const CNonSocketHandle&) = delete;

    SocketHandle Handle() const { return handle_; }
    // Whether the handle is still open.
    bool IsOpen() const;

private:
    SocketHandle handle_ = kInvalidSocket;
    SocketHandle partner_ = kInvalidSocket;  // the pipe's other end on POSIX
};
