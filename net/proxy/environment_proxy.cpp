// The environment's proxy route: which variable names the proxy, and whether no_proxy sends
// the host direct.
#include "net/proxy/environment_proxy.h"

#include <initializer_list>

#include "net/proxy/no_proxy_list.h"
#include "net/proxy/proxy_url.h"

namespace {

// The first of the names whose variable is set to a non-empty text.
std::optional<WideString> FirstSet(const ProxyVariableLookup& lookup,
                                   std::initializer_list<std::string_view> names) {
    for (const std::string_view name : names) {
        std::optional<WideString> value = lookup(name);
        if (value && !value->empty()) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace

CProxyRoute EnvironmentProxyRoute(const ProxyVariableLookup& lookup, UrlSchemeKind scheme,
                                  WideView host) {
    std::optional<WideString> proxy;
    if (scheme == SchemeHttps) {
        proxy = FirstSet(lookup, {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"});
    } else if (scheme == SchemeHttp) {
        proxy = FirstSet(lookup, {"http_proxy", "all_proxy", "ALL_PROXY"});
    }
    CProxyServer server;
    if (!proxy || ReadProxyUrl(*proxy, server) != ProxyUrlReading::kUsable) {
        return CProxyRoute();
    }
    const std::optional<WideString> noProxy = FirstSet(lookup, {"no_proxy", "NO_PROXY"});
    if (noProxy && CNoProxyList(*noProxy).Bypasses(host)) {
        return CProxyRoute();
    }
    return CProxyRoute::Through(server);
}

CProxyRoute EnvironmentProxyRoute(const ProxyVariableLookup& lookup, const CParsedUrl& url) {
    return EnvironmentProxyRoute(lookup, url.SchemeKind(), WideView(url.Host(), url.HostLength()));
}
