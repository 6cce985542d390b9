// The socket library on POSIX: sockets need no start-up and no clean-up (a closed peer cannot
// raise SIGPIPE, since every send passes MSG_NOSIGNAL), so starting always succeeds.
#include "net/socket/socket_library_init.h"

std::int32_t StartSocketPlatform(std::uint16_t) {
    return 0;
}

void CleanupSocketPlatform() {}
