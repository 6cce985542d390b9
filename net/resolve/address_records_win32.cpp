// The system's address records on Windows: addrinfo and sockaddr_in from the Windows Sockets
// headers, for the code of address_records.inl. The built-in getnameinfo's 32-bit lengths
// stand where the system's takes an int and two DWORDs, which are passed alike on 64-bit
// Windows.
#include <winsock2.h>
#include <ws2tcpip.h>

static_assert(sizeof(sockaddr_in) == 16, "IPv4 address records are 16 bytes");
static_assert(sizeof(DWORD) == 4 && sizeof(socklen_t) == 4, "32-bit lengths");

#include "net/resolve/address_records.inl"
