// The system's address records on POSIX: addrinfo and sockaddr_in from <netdb.h> and
// <netinet/in.h>, for the code of address_records.inl.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <type_traits>

static_assert(std::is_same_v<socklen_t, std::uint32_t>,
              "the built-in getnameinfo must have the system's signature");
static_assert(sizeof(sockaddr_in) == 16, "IPv4 address records are 16 bytes");

#include "net/resolve/address_records.inl"
