// The socket library on Windows: WSAStartup asking for version 2.0, and the WSACleanup that
// balances a start that succeeded (CSocketLibraryInit calls it only then).
#include <winsock2.h>

#include "net/socket/socket_library_init.h"

namespace {

// What the start-up reports about the library; nothing here reads it.
WSADATA g_libraryData;

}  // namespace

std::int32_t StartSocketPlatform(std::uint16_t version) {
    return WSAStartup(version, &g_libraryData);
}

void CleanupSocketPlatform() {
    WSACleanup();
}
