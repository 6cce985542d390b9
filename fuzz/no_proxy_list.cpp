// Fuzz target for the no_proxy list: a list and a host, split at the first line feed. Checks
// that entries hold no separator, that "*" alone matches every host, that a host of name or
// bare-address units is matched by an entry equal to it, and that an IPv6 host gets the same
// answer with or without the URL's brackets.
#include <cstddef>
#include <cstdint>

#include "fuzz/proxy_fuzz.h"
#include "net/proxy/no_proxy_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WideString list, host;
    SplitListAndHost(FuzzText(data, size), list, host);
    const CNoProxyList noProxy(list);
    for (const WideString& entry : noProxy.Entries()) {
        RequireFuzzProperty(!entry.empty() && entry.find_first_of(u", \t") == WideString::npos);
    }
    const bool bypassed = noProxy.Bypasses(host);
    RequireFuzzProperty(CNoProxyList(u"*").Bypasses(host));
    bool plainHost = host.find_first_not_of(u".") != WideString::npos;
    for (const char16_t c : host) {
        const char16_t lower = AsciiLower(c);
        plainHost = plainHost && ((lower >= u'a' && lower <= u'z') || (c >= u'0' && c <= u'9') ||
                                  c == u'-' || c == u'_' || c == u'.' || c == u':');
    }
    if (plainHost) {
        RequireFuzzProperty(CNoProxyList(list + u"," + host).Bypasses(host));
    }
    CIpLiteral address;
    if (CIpLiteral::Read(host, address) && address.AddressFamily() == CIpLiteral::Family::kIpv6) {
        RequireFuzzProperty(noProxy.Bypasses(u'[' + host + u']') == bypassed);
    }
    return 0;
}
