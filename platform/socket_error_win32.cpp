// The thread's socket error on Windows is the system's own per-thread Windows Sockets error:
// every Windows Sockets call reports its failures there, in the numbers the transport uses.
#include <winsock2.h>

#include "platform/socket_error.h"

std::int32_t GetSocketError() noexcept {
    return WSAGetLastError();
}

void SetSocketError(std::int32_t code) noexcept {
    WSASetLastError(code);
}
