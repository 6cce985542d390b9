// CIpv4EntryList: the answer of the built-in resolver before it becomes the system's address
// records: IPv4 entries in order (flags, socket type, protocol, address, port) and the
// canonical name of the first one. Plain values on every platform; the records are built from
// it by the platform half (address_records.inl). Growth may raise std::bad_alloc.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Four address bytes in the order they go on the wire (a.b.c.d).
using CIpv4Address = std::array<std::uint8_t, 4>;

struct CIpv4Entry {
    int flags = 0;
    int socketType = 0;
    int protocol = 0;
    CIpv4Address address = {};
    std::uint16_t port = 0;  // host byte order
};

class CIpv4EntryList {
public:
    bool empty() const { return entries_.empty(); }
    const std::vector<CIpv4Entry>& Entries() const { return entries_; }

    void Append(const CIpv4Entry& entry) { entries_.push_back(entry); }
    // Puts after every entry a copy with the datagram socket type and the datagram port.
    void AddDatagramTwins(std::uint16_t datagramPort);

    bool HasCanonicalName() const { return hasCanonicalName_; }
    const std::string& CanonicalName() const { return canonicalName_; }
    void SetCanonicalName(const std::string& name);

private:
    std::vector<CIpv4Entry> entries_;
    std::string canonicalName_;
    bool hasCanonicalName_ = false;
};

// The dotted text of an address ("192.0.2.1").
std::string DottedIpv4(const CIpv4Address& address);
