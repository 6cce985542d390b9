// CSystemRecords: records in the system's layouts (addrinfo, sockaddr_in) made to a test's
// order, for resolver tests that hand them to the code under test without the system's
// headers. The records live as long as the object; each call replaces the one before of its
// kind. The code is system_records.inl, compiled by system_records_posix.cpp and
// system_records_win32.cpp against their own system headers.
#pragma once

#include <cstdint>
#include <memory>

#include "net/resolve/ipv4_entry_list.h"

struct addrinfo;
struct sockaddr;

class CSystemRecords {
public:
    // The fields a hint record must leave empty.
    enum class RecordField { kNone, kAddressLength, kCanonicalName, kAddress, kNext };

    CSystemRecords();
    ~CSystemRecords();
    CSystemRecords(const CSystemRecords&) = delete;
    CSystemRecords& operator=(const CSystemRecords&) = delete;

    // A hint record with the four values and, when asked, one field it should leave empty.
    const addrinfo* Hints(int flags, int family, int socketType, int protocol,
                          RecordField filled = RecordField::kNone);
    // An IPv4 socket address of the given family (so that a wrong one can be made).
    const sockaddr* Ipv4SocketAddress(int family, const CIpv4Address& address, std::uint16_t port);
    // The length of the IPv4 socket address (16).
    static std::uint32_t Ipv4SocketAddressLength();

private:
    struct CStorage;
    std::unique_ptr<CStorage> storage_;
};
