// The code of address_records.h and the record half of the built-in resolver (its records,
// its getnameinfo, the reading of dotted texts through inet_addr), written against the
// system's addrinfo, sockaddr_in and hostent. Included only by address_records_posix.cpp and
// address_records_win32.cpp, after their system headers; it includes none itself.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "net/resolve/address_records.h"
#include "net/resolve/builtin_resolver.h"
#include "platform/socket_error.h"

namespace {

// The record list under construction; whatever it still holds is released on destruction.
class CRecordChain {
public:
    CRecordChain() = default;
    CRecordChain(const CRecordChain&) = delete;
    CRecordChain& operator=(const CRecordChain&) = delete;
    ~CRecordChain() { BuiltinFreeAddrInfo(head_); }

    addrinfo* Release() {
        addrinfo* list = head_;
        head_ = tail_ = nullptr;
        return list;
    }

    // Appends the record of one entry; false when out of memory.
    bool Append(const CIpv4Entry& entry) {
        auto* record = static_cast<addrinfo*>(std::calloc(1, sizeof(addrinfo)));
        auto* address = static_cast<sockaddr_in*>(std::calloc(1, sizeof(sockaddr_in)));
        if (record == nullptr || address == nullptr) {
            std::free(record);
            std::free(address);
            return false;
        }
        address->sin_family = AF_INET;
        address->sin_port = htons(entry.port);
        std::memcpy(&address->sin_addr, entry.address.data(), entry.address.size());
        record->ai_flags = entry.flags;
        record->ai_family = AF_INET;
        record->ai_socktype = entry.socketType;
        record->ai_protocol = entry.protocol;
        record->ai_addrlen = sizeof(sockaddr_in);
        record->ai_addr = reinterpret_cast<sockaddr*>(address);
        (tail_ == nullptr ? head_ : tail_->ai_next) = record;
        tail_ = record;
        return true;
    }

    bool SetCanonicalName(const std::string& name) {
        auto* copy = static_cast<char*>(std::calloc(name.size() + 1, 1));
        if (copy == nullptr) {
            return false;
        }
        std::memcpy(copy, name.data(), name.size());
        head_->ai_canonname = copy;
        return true;
    }

private:
    addrinfo* head_ = nullptr;
    addrinfo* tail_ = nullptr;
};

std::int32_t BuildRecords(const CIpv4EntryList& entries, addrinfo** result) {
    CRecordChain chain;
    for (const CIpv4Entry& entry : entries.Entries()) {
        if (!chain.Append(entry)) {
            return kWsaNotEnoughMemory;
        }
    }
    if (entries.HasCanonicalName() && !chain.SetCanonicalName(entries.CanonicalName())) {
        return kWsaNotEnoughMemory;
    }
    *result = chain.Release();
    return 0;
}

CAddressHints HintValues(const addrinfo& hints) {
    CAddressHints values;
    values.flags = hints.ai_flags;
    values.family = hints.ai_family;
    values.socketType = hints.ai_socktype;
    values.protocol = hints.ai_protocol;
    values.recordFieldsSet = hints.ai_addrlen != 0 || hints.ai_canonname != nullptr ||
                             hints.ai_addr != nullptr || hints.ai_next != nullptr;
    return values;
}

// Copies text with its terminator into a buffer of capacity bytes; false when it does not fit.
bool CopyOut(const std::string& text, char* buffer, std::uint32_t capacity) {
    if (text.size() >= capacity) {
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

CAddressRecordView ViewAddressRecord(const addrinfo* record) {
    CAddressRecordView view;
    if (record != nullptr) {
        view.flags = record->ai_flags;
        view.family = record->ai_family;
        view.socketType = record->ai_socktype;
        view.protocol = record->ai_protocol;
        view.addressLength = record->ai_addrlen;
        view.address = record->ai_addr;
        view.canonicalName = record->ai_canonname;
        view.next = record->ai_next;
    }
    return view;
}

int ResolveWithHints(ResolveFunction resolve, const char* host, const char* service,
                     const CAddressHints& hints, addrinfo** result) {
    addrinfo record{};
    record.ai_flags = hints.flags;
    record.ai_family = hints.family;
    record.ai_socktype = hints.socketType;
    record.ai_protocol = hints.protocol;
    return resolve(host, service, &record, result);
}

std::int32_t ReadIpv4SocketAddress(const sockaddr* address, std::size_t length, CIpv4Address& ipv4,
                                   std::uint16_t& port) {
    if (address == nullptr || length < sizeof(sockaddr_in)) {
        return kWsaFault;
    }
    sockaddr_in copy{};
    std::memcpy(&copy, address, sizeof(copy));
    if (copy.sin_family != AF_INET) {
        return kWsaAddressFamilyNotSupported;
    }
    std::memcpy(ipv4.data(), &copy.sin_addr, ipv4.size());
    port = ntohs(copy.sin_port);
    return 0;
}

int BuiltinResolveWith(const CResolverLookups& lookups, const char* host, const char* service,
                       const addrinfo* hints, addrinfo** result) {
    if (result == nullptr) {
        return kWsaFault;
    }
    *result = nullptr;
    const CAddressHints values = hints != nullptr ? HintValues(*hints) : CAddressHints();
    try {
        CIpv4EntryList entries;
        if (const std::int32_t failure =
                ResolveIpv4Entries(lookups, host, service, &values, entries)) {
            return failure;
        }
        return BuildRecords(entries, result);
    } catch (const std::bad_alloc&) {
        return kWsaNotEnoughMemory;
    }
}

int BuiltinGetNameInfo(const sockaddr* address, std::uint32_t addressLength, char* host,
                       std::uint32_t hostLength, char* service, std::uint32_t serviceLength,
                       int flags) {
    const bool wantHost = host != nullptr && hostLength != 0;
    const bool wantService = service != nullptr && serviceLength != 0;
    if (!wantHost && !wantService) {
        return kWsaHostNotFound;
    }
    CIpv4Address ipv4 = {};
    std::uint16_t port = 0;
    if (const std::int32_t failure = ReadIpv4SocketAddress(address, addressLength, ipv4, port)) {
        return failure;
    }
    if ((flags & NI_NAMEREQD) != 0) {
        return kWsaHostNotFound;
    }
    try {
        if ((wantHost && !CopyOut(DottedIpv4(ipv4), host, hostLength)) ||
            (wantService && !CopyOut(std::to_string(port), service, serviceLength))) {
            return kWsaFault;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        return kWsaNotEnoughMemory;
    }
}

void ReadHostAnswer(const hostent& found, CHostAnswer& answer) {
    answer.addressType = found.h_addrtype;
    answer.addressLength = found.h_length;
    answer.officialName = found.h_name != nullptr ? found.h_name : "";
    const auto length = static_cast<std::size_t>(found.h_length > 0 ? found.h_length : 0);
    for (char** address = found.h_addr_list; address != nullptr && *address != nullptr; ++address) {
        answer.addresses.emplace_back(*address, length);
    }
}

bool ParseIpv4Text(const char* text, CIpv4Address& address) {
    const auto value = inet_addr(text);
    if (value == INADDR_NONE) {
        return false;
    }
    std::memcpy(address.data(), &value, address.size());
    return true;
}

void BuiltinFreeAddrInfo(addrinfo* list) {
    while (list != nullptr) {
        addrinfo* next = list->ai_next;
        std::free(list->ai_canonname);
        std::free(list->ai_addr);
        std::free(list);
        list = next;
    }
}
