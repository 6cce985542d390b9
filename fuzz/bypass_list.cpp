// Fuzz target for Windows's proxy bypass list: a list and a host, split at the first line
// feed. Checks that patterns hold no separator, that a pattern equal to the host bypasses
// it, that "*" bypasses every host, and that "<-loopback>" only ever takes bypasses away.
#include <cstddef>
#include <cstdint>

#include "fuzz/proxy_fuzz.h"
#include "net/proxy/proxy_bypass_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WideString list, host;
    SplitListAndHost(FuzzText(data, size), list, host);
    const CProxyBypassList bypass(list);
    for (const WideString& pattern : bypass.Patterns()) {
        RequireFuzzProperty(!pattern.empty() &&
                            pattern.find_first_of(u"; \t\r\n") == WideString::npos);
    }
    const bool bypassed = bypass.Bypasses(host);
    RequireFuzzProperty(!CProxyBypassList(list + u";<-loopback>").Bypasses(host) || bypassed);
    RequireFuzzProperty(CProxyBypassList(list + u";*").Bypasses(host));
    const bool plainHost = !host.empty() && host.find_first_of(u"; \t\r\n") == WideString::npos &&
                           !EqualsIgnoringAsciiCase(host, u"<local>") &&
                           !EqualsIgnoringAsciiCase(host, u"<-loopback>");
    if (plainHost) {
        RequireFuzzProperty(CProxyBypassList(list + u";" + host).Bypasses(host));
    }
    return 0;
}
