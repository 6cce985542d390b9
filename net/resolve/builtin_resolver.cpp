// The rules of the built-in IPv4 resolver, the same on every platform: hint checks, the service
// plan, numeric hosts (exactly three dots, then the system's reading of the text), names followed
// through their official names for at most 16 attempts, and datagram twins. Every failure
// leaves the entry list to be dropped by the caller.
#include <algorithm>
#include <cstring>
#include <new>

#include "net/resolve/builtin_resolver.h"
#include "platform/socket_error.h"

namespace {

// The values of the hint fields, the same on every system.
constexpr int kPassiveFlag = 1;        // AI_PASSIVE
constexpr int kCanonicalNameFlag = 2;  // AI_CANONNAME
constexpr int kNumericHostFlag = 4;    // AI_NUMERICHOST
constexpr int kFamilyInet = 2;         // AF_INET
constexpr int kStreamSocket = 1;       // SOCK_STREAM
constexpr int kDatagramSocket = 2;     // SOCK_DGRAM
constexpr int kRawSocket = 3;          // SOCK_RAW

constexpr CIpv4Address kAnyAddress = {0, 0, 0, 0};
constexpr CIpv4Address kLoopbackAddress = {127, 0, 0, 1};

// Names (the host copy and the alias) are held in 1024-character buffers.
constexpr std::size_t kNameCapacity = 1024;
constexpr int kMaxLookupAttempts = 16;

// What the service turns into: the socket type (filled in when the hints gave none), the port
// of the entries, the datagram port and whether every entry gets a datagram twin.
struct CServicePlan {
    int socketType = 0;
    std::uint16_t port = 0;
    std::uint16_t datagramPort = 0;
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

std::int32_t PlanNamedService(const CResolverLookups& lookups, const char* service,
                              CServicePlan& plan) {
    const int requested = plan.socketType;
    std::int32_t udp = -1;
    std::int32_t tcp = -1;
    if (requested == 0 || requested == kDatagramSocket) {
        udp = lookups.lookupServicePort(service, "udp");
    }
    if (requested == 0 || requested == kStreamSocket) {
        tcp = lookups.lookupServicePort(service, "tcp");
    }
    if (udp < 0 && tcp < 0) {
        return requested != 0 ? kWsaTypeNotFound : kWsaHostNotFound;
    }
    plan.port = static_cast<std::uint16_t>(tcp >= 0 ? tcp : udp);
    plan.datagramPort = static_cast<std::uint16_t>(udp >= 0 ? udp : 0);
    if (requested == 0) {
        plan.socketType = tcp >= 0 ? kStreamSocket : kDatagramSocket;
        plan.twins = tcp >= 0 && udp >= 0;
    }
    return 0;
}

std::int32_t PlanService(const CResolverLookups& lookups, const char* service, CServicePlan& plan) {
    std::uint16_t number = 0;
    if (service == nullptr) {
        return 0;
    }
    if (!ParseDecimalPort(service, number)) {
        return PlanNamedService(lookups, service, plan);
    }
    plan.port = plan.datagramPort = number;
    if (plan.socketType == 0) {
        plan.socketType = kStreamSocket;
        plan.twins = true;
    }
    return 0;
}

// A dotted IPv4 text with exactly three dots that the system's reading accepts.
bool ParseNumericHost(const char* host, CIpv4Address& address) {
    return std::count(host, host + std::strlen(host), '.') == 3 && ParseIpv4Text(host, address);
}

CIpv4Entry EntryFor(int flags, const CServicePlan& plan, int protocol,
                    const CIpv4Address& address) {
    CIpv4Entry entry;
    entry.flags = flags;
    entry.socketType = plan.socketType;
    entry.protocol = protocol;
    entry.address = address;
    entry.port = plan.port;
    return entry;
}

void AppendAnswer(const CHostAnswer& answer, const CServicePlan& plan, int protocol,
                  CIpv4EntryList& list) {
    if (answer.addressType != kFamilyInet || answer.addressLength != 4) {
        return;
    }
    for (const std::string& raw : answer.addresses) {
        CIpv4Address address = {};
        std::memcpy(address.data(), raw.data(), std::min(raw.size(), address.size()));
        list.Append(EntryFor(0, plan, protocol, address));
    }
}

std::int32_t LookupName(const CResolverLookups& lookups, const char* host, int flags,
                        const CServicePlan& plan, int protocol, CIpv4EntryList& list) {
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
        AppendAnswer(answer, plan, protocol, list);
        alias = answer.officialName.substr(0, kNameCapacity - 1);
        if (!list.empty()) {
            break;
        }
        if (alias.empty() || alias == current || attempt == kMaxLookupAttempts) {
            return kWsaNoRecovery;
        }
        current = alias;
    }
    if ((flags & kCanonicalNameFlag) != 0) {
        list.SetCanonicalName(alias);
    }
    return 0;
}

std::int32_t CheckHints(const CAddressHints& hints, const char* host) {
    if (hints.recordFieldsSet) {
        return kWsaNoRecovery;
    }
    if ((hints.flags & kCanonicalNameFlag) != 0 && host == nullptr) {
        return kWsaInvalidArgument;
    }
    if (hints.family != 0 && hints.family != kFamilyInet) {
        return kWsaAddressFamilyNotSupported;
    }
    if (hints.socketType < 0 || hints.socketType > kRawSocket) {
        return kWsaSocketTypeNotSupported;
    }
    return 0;
}

std::int32_t AddHost(const CResolverLookups& lookups, const char* host, const CAddressHints& hints,
                     const CServicePlan& plan, CIpv4EntryList& list) {
    CIpv4Address address = {};
    if (host == nullptr) {
        const bool passive = (hints.flags & kPassiveFlag) != 0;
        list.Append(EntryFor(0, plan, hints.protocol, passive ? kAnyAddress : kLoopbackAddress));
    } else if (ParseNumericHost(host, address)) {
        list.Append(EntryFor(kNumericHostFlag, plan, hints.protocol, address));
        if ((hints.flags & kCanonicalNameFlag) != 0) {
            list.SetCanonicalName(DottedIpv4(address));
        }
    } else if ((hints.flags & kNumericHostFlag) != 0) {
        return kWsaHostNotFound;
    } else {
        return LookupName(lookups, host, hints.flags, plan, hints.protocol, list);
    }
    return 0;
}

}  // namespace

std::int32_t ResolveIpv4Entries(const CResolverLookups& lookups, const char* host,
                                const char* service, const CAddressHints* hints,
                                CIpv4EntryList& entries) {
    if (host == nullptr && service == nullptr) {
        return kWsaHostNotFound;
    }
    const CAddressHints values = hints != nullptr ? *hints : CAddressHints();
    if (const std::int32_t failure = CheckHints(values, host)) {
        return failure;
    }
    try {
        CServicePlan plan;
        plan.socketType = values.socketType;
        if (const std::int32_t failure = PlanService(lookups, service, plan)) {
            return failure;
        }
        if (const std::int32_t failure = AddHost(lookups, host, values, plan, entries)) {
            return failure;
        }
        if (plan.twins) {
            entries.AddDatagramTwins(plan.datagramPort);
        }
        return 0;
    } catch (const std::bad_alloc&) {
        return kWsaNotEnoughMemory;
    }
}

int BuiltinGetAddrInfo(const char* host, const char* service, const addrinfo* hints,
                       addrinfo** result) {
    return BuiltinResolveWith(SystemResolverLookups(), host, service, hints, result);
}
