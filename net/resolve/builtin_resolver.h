// The built-in IPv4 resolver: the same contract as the system's getaddrinfo, getnameinfo and
// freeaddrinfo, used when the system resolver cannot be loaded. Results are Windows Sockets
// numbers (0 for success). Lists it returns are released only by BuiltinFreeAddrInfo: each
// record, its 16-byte IPv4 address and its canonical name are separate zero-filled blocks.
//
// Where each part lives: the rules (hint checks, service plan, numeric hosts, alias chains,
// datagram twins) in builtin_resolver.cpp on plain values; the system lookups in
// builtin_resolver_posix.cpp / builtin_resolver_win32.cpp; the system's address records in
// address_records.inl, which both platform halves compile against their own system headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/resolve/ipv4_entry_list.h"

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
    // The port of the named service for "tcp" or "udp" in host byte order, or -1.
    std::int32_t (*lookupServicePort)(const char* name, const char* protocol);
};

// The values of a hint record. recordFieldsSet: the record carries an address length, a
// canonical name, an address or a next record, which a hint must leave empty.
struct CAddressHints {
    int flags = 0;
    int family = 0;
    int socketType = 0;
    int protocol = 0;
    bool recordFieldsSet = false;
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

// The rules of the resolver on plain values: 0 with the entries, or the error (no hints: null).
std::int32_t ResolveIpv4Entries(const CResolverLookups& lookups, const char* host,
                                const char* service, const CAddressHints* hints,
                                CIpv4EntryList& entries);

// The platform half: the system's name services (builtin_resolver_posix.cpp, _win32.cpp), and
// its reading of a dotted IPv4 text through inet_addr, which also takes octal and hexadecimal
// parts (address_records.inl); false when it refuses the text.
const CResolverLookups& SystemResolverLookups();
bool ParseIpv4Text(const char* text, CIpv4Address& address);
