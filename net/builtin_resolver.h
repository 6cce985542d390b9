// The built-in IPv4 resolver: the same contract as the system's getaddrinfo, getnameinfo and
// freeaddrinfo, used when the system resolver cannot be loaded. Results are Windows Sockets
// numbers (0 for success). Lists it returns are released only by BuiltinFreeAddrInfo: each
// record, its 16-byte IPv4 address and its canonical name are separate zero-filled blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct addrinfo;
struct sockaddr;

// One answer of a host-name lookup, as the resolver reads it.
struct CHostAnswer {
    int addressType = 0;
    int addressLength = 0;
    std::vector<std::string> addresses;  // each addressLength raw bytes, in the answer's order
    std::string officialName;
};

// The two name services the resolver consults. BuiltinGetAddrInfo uses the system's; tests
// hand in their own to script answers, alias chains and failures.
struct CResolverLookups {
    // Fills answer; returns 0 or the Windows Sockets number of the failure.
    std::int32_t (*lookupHost)(const char* name, CHostAnswer& answer);
    // The port of the named service for "tcp" or "udp" in network byte order, or -1.
    std::int32_t (*lookupServicePort)(const char* name, const char* protocol);
};

int BuiltinResolveWith(const CResolverLookups& lookups, const char* host, const char* service,
                       const addrinfo* hints, addrinfo** result);

int BuiltinGetAddrInfo(const char* host, const char* service, const addrinfo* hints,
                       addrinfo** result);
// Numeric only: the dotted address and the decimal port of an IPv4 address; asking for a
// name (NI_NAMEREQD) gives 11001, since the built-in resolver does no reverse lookups.
int BuiltinGetNameInfo(const sockaddr* address, std::uint32_t addressLength, char* host,
                       std::uint32_t hostLength, char* service, std::uint32_t serviceLength,
                       int flags);
void BuiltinFreeAddrInfo(addrinfo* list);
