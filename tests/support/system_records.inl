// The code of CSystemRecords, written against the system's addrinfo and sockaddr_in. Included
// only by system_records_posix.cpp and system_records_win32.cpp, after their system headers.
#include <cstring>

#include "tests/support/system_records.h"

struct CSystemRecords::CStorage {
    addrinfo hints;
    sockaddr_in address;
    // What a filled field points at.
    addrinfo otherRecord;
    sockaddr_in otherAddress;
    char name[8];
};

CSystemRecords::CSystemRecords() : storage_(std::make_unique<CStorage>()) {}

CSystemRecords::~CSystemRecords() = default;

const addrinfo* CSystemRecords::Hints(int flags, int family, int socketType, int protocol,
                                      RecordField filled) {
    CStorage& storage = *storage_;
    storage.hints = addrinfo{};
    storage.hints.ai_flags = flags;
    storage.hints.ai_family = family;
    storage.hints.ai_socktype = socketType;
    storage.hints.ai_protocol = protocol;
    switch (filled) {
        case RecordField::kAddressLength:
            storage.hints.ai_addrlen = sizeof(sockaddr_in);
            break;
        case RecordField::kCanonicalName:
            std::strcpy(storage.name, "name");
            storage.hints.ai_canonname = storage.name;
            break;
        case RecordField::kAddress:
            storage.hints.ai_addr = reinterpret_cast<sockaddr*>(&storage.otherAddress);
            break;
        case RecordField::kNext:
            storage.hints.ai_next = &storage.otherRecord;
            break;
        case RecordField::kNone:
            break;
    }
    return &storage.hints;
}

const sockaddr* CSystemRecords::Ipv4SocketAddress(int family, const CIpv4Address& address,
                                                  std::uint16_t port) {
    sockaddr_in& made = storage_->address;
    made = sockaddr_in{};
    made.sin_family = static_cast<decltype(made.sin_family)>(family);
    made.sin_port = htons(port);
    std::memcpy(&made.sin_addr, address.data(), address.size());
    return reinterpret_cast<const sockaddr*>(&made);
}

std::uint32_t CSystemRecords::Ipv4SocketAddressLength() {
    return sizeof(sockaddr_in);
}
