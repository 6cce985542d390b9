// The system lookups of the built-in IPv4 resolver on Windows: names through gethostbyname,
// services through getservbyname. Both answer in storage the Windows Sockets library keeps per
// thread, so each answer is copied out before the next call on the thread; their failures are
// Windows Sockets numbers already.
#include <winsock2.h>

#include "net/resolve/address_records.h"
#include "net/resolve/builtin_resolver.h"

namespace {

std::int32_t SystemLookupHost(const char* name, CHostAnswer& answer) {
    const hostent* found = gethostbyname(name);
    if (found == nullptr) {
        return WSAGetLastError();
    }
    ReadHostAnswer(*found, answer);
    return 0;
}

std::int32_t SystemLookupServicePort(const char* name, const char* protocol) {
    const servent* found = getservbyname(name, protocol);
    // s_port holds the 16-bit port in network byte order.
    return found != nullptr ? ntohs(static_cast<u_short>(found->s_port)) : -1;
}

constexpr CResolverLookups kSystemLookups = {&SystemLookupHost, &SystemLookupServicePort};

}  // namespace

const CResolverLookups& SystemResolverLookups() {
    return kSystemLookups;
}
