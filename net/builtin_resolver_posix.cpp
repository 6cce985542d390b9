// The built-in IPv4 resolver on POSIX. Numeric hosts go through inet_addr only when they have
// exactly three dots (so "10.1.2" is a name, as it is for the Windows resolver); names go
// through the reentrant gethostbyname_r, following the official name as an alias for at most
// 16 attempts; services through getservbyname_r. Every failure releases the partial list.
#include "net/builtin_resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "platform/socket_error.h"
#include "platform/socket_error_map.h"

static_assert(std::is_same_v<socklen_t, std::uint32_t>,
              "the built-in getnameinfo must have the system's signature");
static_assert(sizeof(sockaddr_in) == 16, "IPv4 address records are 16 bytes");

namespace {

// Names (the host copy and the alias) are held in 1024-character buffers.
constexpr std::size_t kNameCapacity = 1024;
constexpr int kMaxLookupAttempts = 16;
// The system lookups grow their work buffer on ERANGE up to this size.
constexpr std::size_t kMaxLookupBuffer = 1 << 20;

// The list under construction; whatever it still holds is released on destruction.
class CEntryList {
public:
    CEntryList() = default;
    CEntryList(const CEntryList&) = delete;
    CEntryList& operator=(const CEntryList&) = delete;
    ~CEntryList() { BuiltinFreeAddrInfo(head_); }

    bool empty() const { return head_ == nullptr; }
    addrinfo* Release() {
        addrinfo* list = head_;
        head_ = tail_ = nullptr;
        return list;
    }

    // Appends one IPv4 entry (address and port in network byte order); false when out of memory.
    bool Append(int flags, int socketType, int protocol, in_addr_t address, in_port_t port) {
        addrinfo* entry = NewEntry(flags, socketType, protocol, address, port);
        if (entry == nullptr) {
            return false;
        }
        (tail_ == nullptr ? head_ : tail_->ai_next) = entry;
        tail_ = entry;
        return true;
    }

    // Inserts after every entry a copy with the datagram socket type and the datagram port.
    bool AddDatagramTwins(in_port_t port) {
        for (addrinfo* entry = head_; entry != nullptr; entry = entry->ai_next->ai_next) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
            addrinfo* twin = NewEntry(entry->ai_flags, SOCK_DGRAM, entry->ai_protocol,
                                      address->sin_addr.s_addr, port);
            if (twin == nullptr) {
                return false;
            }
            twin->ai_next = entry->ai_next;
            entry->ai_next = twin;
            if (tail_ == entry) {
                tail_ = twin;
            }
        }
        return true;
    }

    bool SetCanonicalName(const char* name) {
        const std::size_t length = std::strlen(name);
        auto* copy = static_cast<char*>(std::calloc(length + 1, 1));
        if (copy == nullptr) {
            return false;
        }
        std::memcpy(copy, name, length);
        head_->ai_canonname = copy;
        return true;
    }

private:
    static addrinfo* NewEntry(int flags, int socketType, int protocol, in_addr_t address,
                              in_port_t port) {
        auto* entry = static_cast<addrinfo*>(std::calloc(1, sizeof(addrinfo)));
        auto* socketAddress = static_cast<sockaddr_in*>(std::calloc(1, sizeof(sockaddr_in)));
        if (entry == nullptr || socketAddress == nullptr) {
            std::free(entry);
            std::free(socketAddress);
            return nullptr;
        }
        socketAddress->sin_family = AF_INET;
        socketAddress->sin_port = port;
        socketAddress->sin_addr.s_addr = address;
        entry->ai_flags = flags;
        entry->ai_family = AF_INET;
        entry->ai_socktype = socketType;
        entry->ai_protocol = protocol;
        entry->ai_addrlen = sizeof(sockaddr_in);
        entry->ai_addr = reinterpret_cast<sockaddr*>(socketAddress);
        return entry;
    }

    addrinfo* head_ = nullptr;
    addrinfo* tail_ = nullptr;
};

// What the service turns into: the socket type (filled in when the hints gave none), the port
// of the entries, the datagram port and whether every entry gets a datagram twin.
struct CServicePlan {
    int socketType = 0;
    in_port_t port = 0;
    in_port_t datagramPort = 0;
    bool twins = false;
};

// Digits only, nothing else, an empty text reading as 0. A value above 65535 is not a port, so
// it is not taken as one (it would otherwise wrap to an unrelated port).
bool ParseDecimalPort(const char* text, std::uint16_t& port) {
    std::uint32_t value = 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint32_t>(*text - '0');
        if (value > 0xFFFF) {
            return false;
        }
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

std::int32_t PlanService(const CResolverLookups& lookups, const char* service, CServicePlan& plan) {
    std::uint16_t number = 0;
    if (service == nullptr) {
        return 0;
    }
    if (ParseDecimalPort(service, number)) {
        plan.port = plan.datagramPort = htons(number);
        if (plan.socketType == 0) {
            plan.socketType = SOCK_STREAM;
            plan.twins = true;
        }
        return 0;
    }
    const int requested = plan.socketType;
    std::int32_t udp = -1;
    std::int32_t tcp = -1;
    if (requested == 0 || requested == SOCK_DGRAM) {
        udp = lookups.lookupServicePort(service, "udp");
    }
    if (requested == 0 || requested == SOCK_STREAM) {
        tcp = lookups.lookupServicePort(service, "tcp");
    }
    if (udp < 0 && tcp < 0) {
        return requested != 0 ? kWsaTypeNotFound : kWsaHostNotFound;
    }
    plan.port = static_cast<in_port_t>(tcp >= 0 ? tcp : udp);
    plan.datagramPort = static_cast<in_port_t>(udp >= 0 ? udp : 0);
    if (requested == 0) {
        plan.socketType = tcp >= 0 ? SOCK_STREAM : SOCK_DGRAM;
        plan.twins = tcp >= 0 && udp >= 0;
    }
    return 0;
}

// The address of a dotted IPv4 text with exactly three dots that inet_addr accepts.
bool ParseNumericHost(const char* host, in_addr_t& address) {
    if (std::count(host, host + std::strlen(host), '.') != 3) {
        return false;
    }
    address = inet_addr(host);
    return address != INADDR_NONE;
}

std::int32_t LookupName(const CResolverLookups& lookups, const char* host, int flags,
                        const CServicePlan& plan, int protocol, CEntryList& list) {
    // A longer text is no host name; cutting it to the buffer would look up a different name.
    if (std::strlen(host) >= kNameCapacity) {
        return kWsaHostNotFound;
    }
    std::string current = host;
    std::string alias;
    for (int attempt = 1;; ++attempt) {
        CHostAnswer answer;
        const std::int32_t failure = lookups.lookupHost(current.c_str(), answer);
        if (failure != 0) {
            return failure == kWsaTryAgain || failure == kWsaNoRecovery ? failure
                                                                        : kWsaHostNotFound;
        }
        if (answer.addressType == AF_INET && answer.addressLength == 4) {
            for (const std::string& raw : answer.addresses) {
                in_addr_t address = 0;
                std::memcpy(&address, raw.data(), std::min(raw.size(), sizeof(address)));
                if (!list.Append(0, plan.socketType, protocol, address, plan.port)) {
                    return kWsaNotEnoughMemory;
                }
            }
        }
        alias = answer.officialName.substr(0, kNameCapacity - 1);
        if (!list.empty()) {
            break;
        }
        if (alias.empty() || alias == current || attempt == kMaxLookupAttempts) {
            return kWsaNoRecovery;
        }
        current = alias;
    }
    if ((flags & AI_CANONNAME) != 0 && !list.SetCanonicalName(alias.c_str())) {
        return kWsaNotEnoughMemory;
    }
    return 0;
}

std::int32_t CheckHints(const addrinfo* hints, const char* host) {
    if (hints->ai_addrlen != 0 || hints->ai_canonname != nullptr || hints->ai_addr != nullptr ||
        hints->ai_next != nullptr) {
        return kWsaNoRecovery;
    }
    if ((hints->ai_flags & AI_CANONNAME) != 0 && host == nullptr) {
        return kWsaInvalidArgument;
    }
    if (hints->ai_family != AF_UNSPEC && hints->ai_family != AF_INET) {
        return kWsaAddressFamilyNotSupported;
    }
    if (hints->ai_socktype < 0 || hints->ai_socktype > SOCK_RAW) {
        return kWsaSocketTypeNotSupported;
    }
    return 0;
}

std::int32_t BuildList(const CResolverLookups& lookups, const char* host, const char* service,
                       const addrinfo* hints, CEntryList& list) {
    const int flags = hints != nullptr ? hints->ai_flags : 0;
    const int protocol = hints != nullptr ? hints->ai_protocol : 0;
    CServicePlan plan;
    plan.socketType = hints != nullptr ? hints->ai_socktype : 0;
    if (const std::int32_t failure = PlanService(lookups, service, plan)) {
        return failure;
    }
    in_addr_t address = 0;
    if (host == nullptr) {
        address = htonl((flags & AI_PASSIVE) != 0 ? INADDR_ANY : INADDR_LOOPBACK);
        if (!list.Append(0, plan.socketType, protocol, address, plan.port)) {
            return kWsaNotEnoughMemory;
        }
    } else if (ParseNumericHost(host, address)) {
        char dotted[INET_ADDRSTRLEN] = {};
        if (!list.Append(AI_NUMERICHOST, plan.socketType, protocol, address, plan.port) ||
            ((flags & AI_CANONNAME) != 0 &&
             (inet_ntop(AF_INET, &address, dotted, sizeof(dotted)) == nullptr ||
              !list.SetCanonicalName(dotted)))) {
            return kWsaNotEnoughMemory;
        }
    } else if ((flags & AI_NUMERICHOST) != 0) {
        return kWsaHostNotFound;
    } else if (const std::int32_t failure =
                   LookupName(lookups, host, flags, plan, protocol, list)) {
        return failure;
    }
    if (plan.twins && !list.AddDatagramTwins(plan.datagramPort)) {
        return kWsaNotEnoughMemory;
    }
    return 0;
}

std::int32_t SystemLookupHost(const char* name, CHostAnswer& answer) {
    std::string work(2048, '\0');
    hostent entry{};
    hostent* found = nullptr;
    int hostError = 0;
    for (;;) {
        const int status =
            gethostbyname_r(name, &entry, work.data(), work.size(), &found, &hostError);
        if (status == ERANGE && work.size() < kMaxLookupBuffer) {
            work.resize(work.size() * 2);
            continue;
        }
        if (status != 0 || found == nullptr) {
            return SocketErrorFromHostLookup(hostError);
        }
        break;
    }
    answer.addressType = found->h_addrtype;
    answer.addressLength = found->h_length;
    answer.officialName = found->h_name != nullptr ? found->h_name : "";
    const auto length = static_cast<std::size_t>(std::max(found->h_length, 0));
    for (char** address = found->h_addr_list; address != nullptr && *address != nullptr;
         ++address) {
        answer.addresses.emplace_back(*address, length);
    }
    return 0;
}

std::int32_t SystemLookupServicePort(const char* name, const char* protocol) {
    std::string work(1024, '\0');
    servent entry{};
    servent* found = nullptr;
    for (;;) {
        const int status =
            getservbyname_r(name, protocol, &entry, work.data(), work.size(), &found);
        if (status == ERANGE && work.size() < kMaxLookupBuffer) {
            work.resize(work.size() * 2);
            continue;
        }
        // s_port holds the 16-bit port in network byte order in an int.
        return status == 0 && found != nullptr ? static_cast<std::uint16_t>(found->s_port) : -1;
    }
}

constexpr CResolverLookups kSystemLookups = {&SystemLookupHost, &SystemLookupServicePort};

// Copies text with its terminator into a buffer of capacity bytes; false when it does not fit.
bool CopyOut(const std::string& text, char* buffer, std::uint32_t capacity) {
    if (text.size() >= capacity) {
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

int BuiltinResolveWith(const CResolverLookups& lookups, const char* host, const char* service,
                       const addrinfo* hints, addrinfo** result) {
    if (result == nullptr) {
        return kWsaFault;
    }
    *result = nullptr;
    if (host == nullptr && service == nullptr) {
        return kWsaHostNotFound;
    }
    if (hints != nullptr) {
        if (const std::int32_t failure = CheckHints(hints, host)) {
            return failure;
        }
    }
    try {
        CEntryList list;
        if (const std::int32_t failure = BuildList(lookups, host, service, hints, list)) {
            return failure;
        }
        *result = list.Release();
        return 0;
    } catch (const std::bad_alloc&) {
        return kWsaNotEnoughMemory;
    }
}

int BuiltinGetAddrInfo(const char* host, const char* service, const addrinfo* hints,
                       addrinfo** result) {
    return BuiltinResolveWith(kSystemLookups, host, service, hints, result);
}

int BuiltinGetNameInfo(const sockaddr* address, std::uint32_t addressLength, char* host,
                       std::uint32_t hostLength, char* service, std::uint32_t serviceLength,
                       int flags) {
    const bool wantHost = host != nullptr && hostLength != 0;
    const bool wantService = service != nullptr && serviceLength != 0;
    if (!wantHost && !wantService) {
        return kWsaHostNotFound;
    }
    if (address == nullptr || addressLength < sizeof(sockaddr_in)) {
        return kWsaFault;
    }
    if (address->sa_family != AF_INET) {
        return kWsaAddressFamilyNotSupported;
    }
    if ((flags & NI_NAMEREQD) != 0) {
        return kWsaHostNotFound;
    }
    sockaddr_in ipv4{};
    std::memcpy(&ipv4, address, sizeof(ipv4));
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &ipv4.sin_addr, dotted, sizeof(dotted));
    if ((wantHost && !CopyOut(dotted, host, hostLength)) ||
        (wantService && !CopyOut(std::to_string(ntohs(ipv4.sin_port)), service, serviceLength))) {
        return kWsaFault;
    }
    return 0;
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
