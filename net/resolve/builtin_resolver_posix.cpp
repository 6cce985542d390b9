// The system lookups of the built-in IPv4 resolver on POSIX: names through the reentrant
// gethostbyname_r and services through getservbyname_r.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <string>

#include "net/resolve/address_records.h"
#include "net/resolve/builtin_resolver.h"
#include "platform/socket_error_map.h"

namespace {

// The system lookups grow their work buffer on ERANGE up to this size.
constexpr std::size_t kMaxLookupBuffer = 1 << 20;

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
    ReadHostAnswer(*found, answer);
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
        return status == 0 && found != nullptr ? ntohs(static_cast<std::uint16_t>(found->s_port))
                                               : -1;
    }
}

constexpr CResolverLookups kSystemLookups = {&SystemLookupHost, &SystemLookupServicePort};

}  // namespace

const CResolverLookups& SystemResolverLookups() {
    return kSystemLookups;
}
