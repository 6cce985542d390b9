// The translation of POSIX error numbers and getaddrinfo results into the Windows Sockets
// numbers the transport reports on every platform.
#include <netdb.h>

#include <cerrno>
#include <utility>

#include <gtest/gtest.h>

#include "platform/socket_error_map.h"

namespace {

TEST(SocketErrorMap, TranslatesToWindowsSocketsNumbers) {
    const std::pair<int, int> errnoCases[] = {
        {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},    {ECONNRESET, 10054}, {ENETUNREACH, 10051},
        {EHOSTUNREACH, 10065}, {EPIPE, 10054},        {ENOTCONN, 10057},   {EADDRINUSE, 10048},
        {ENOMEM, 8},           {EAFNOSUPPORT, 10047}, {0, 10107},          {-5, 10107},
    };
    for (const auto& [posix, windows] : errnoCases) {
        EXPECT_EQ(SocketErrorFromErrno(posix), windows) << posix;
    }
    const std::pair<int, int> addrInfoCases[] = {
        {0, 0},
        {EAI_NONAME, 11001},
        {EAI_AGAIN, 11002},
        {EAI_FAIL, 11003},
        {EAI_MEMORY, 8},
        {EAI_SERVICE, 10109},
        {EAI_FAMILY, 10047},
        {EAI_SOCKTYPE, 10044},
        {EAI_BADFLAGS, 10022},
        {EAI_SYSTEM, 10061},
        {-12345, 11003},
    };
    for (const auto& [posix, windows] : addrInfoCases) {
        EXPECT_EQ(SocketErrorFromAddrInfo(posix, ECONNREFUSED), windows) << posix;
    }
}

}  // namespace
