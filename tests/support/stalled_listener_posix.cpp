// CStalledListener on POSIX: a backlog of 0 holds one completed connection, our own filler;
// with it queued and never accepted, later handshakes to the port are dropped.
#include "tests/support/stalled_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

CStalledListener::CStalledListener() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    const int listener = library_.Start() ? socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    listener_ = listener;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 0) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
    // On loopback the filler's handshake completes at once; the send time-out bounds the
    // blocking connect should it not.
    const int filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit = {2, 0};
    if (filler >= 0 && setsockopt(filler, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit)) == 0 &&
        connect(filler, reinterpret_cast<sockaddr*>(&address), length) == 0) {
        filler_ = filler;
    } else if (filler >= 0) {
        close(filler);
    }
}

CStalledListener::~CStalledListener() {
    if (filler_ != -1) {
        close(static_cast<int>(filler_));
    }
    if (listener_ != -1) {
        close(static_cast<int>(listener_));
    }
}
