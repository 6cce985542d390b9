// CStalledListener: a listener on 127.0.0.1 whose accept queue is full and never drained, so a
// connection attempt to Port() is never answered and stays in progress (the system drops the
// attempt's handshake while the queue is full). For tests of connect time-outs.
#pragma once

#include <cstdint>

#include "net/socket/socket_library_init.h"

class CStalledListener {
public:
    CStalledListener();
    ~CStalledListener();
    CStalledListener(const CStalledListener&) = delete;
    CStalledListener& operator=(const CStalledListener&) = delete;

    // False when the listener or the connection that fills its queue could not be made.
    bool IsReady() const { return filler_ != -1; }
    std::uint16_t Port() const { return port_; }

private:
    // Started for the listener's lifetime: a test may make one before any socket object.
    CSocketLibraryInit library_;
    // Sockets as the system numbers them (descriptors on POSIX, SOCKET handles on Windows).
    std::intptr_t listener_ = -1;
    std::intptr_t filler_ = -1;
    std::uint16_t port_ = 0;
};
