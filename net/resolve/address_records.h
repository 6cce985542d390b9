// CAddressRecordView: the fields of one of the system's address records (addrinfo) as plain
// values, for the portable code that connects to resolved addresses and walks resolved lists
// without the system's headers. With it, the other calls that need the system's layouts:
// building a hint record for a resolver call, reading an IPv4 socket address and a host
// lookup's answer.
//
// The code sits in address_records.inl, compiled by address_records_posix.cpp and
// address_records_win32.cpp against their own system headers: both systems give the records
// and the IPv4 socket address the same field names, though not the same layout, so one text
// serves both. The built-in resolver's record building and freeing are there too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/resolve/builtin_resolver.h"
#include "net/resolve/ipv4_entry_list.h"

struct addrinfo;
struct hostent;
struct sockaddr;

struct CAddressRecordView {
    int flags = 0;
    int family = 0;
    int socketType = 0;
    int protocol = 0;
    std::size_t addressLength = 0;
    const sockaddr* address = nullptr;
    const char* canonicalName = nullptr;
    addrinfo* next = nullptr;
};

// The fields of record (all zero and null for a null record).
CAddressRecordView ViewAddressRecord(const addrinfo* record);

// Calls resolve (a getaddrinfo) with a hint record that holds the four values and nothing else.
using ResolveFunction = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
int ResolveWithHints(ResolveFunction resolve, const char* host, const char* service,
                     const CAddressHints& hints, addrinfo** result);

// The address and port (host byte order) of an IPv4 socket address: 0, 10014 when length is
// too short for one, 10047 when it is of another family.
std::int32_t ReadIpv4SocketAddress(const sockaddr* address, std::size_t length, CIpv4Address& ipv4,
                                   std::uint16_t& port);

// The answer of a host lookup (gethostbyname), copied out of the system's record.
void ReadHostAnswer(const hostent& found, CHostAnswer& answer);
