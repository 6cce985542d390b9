// CManualProxySetting: the proxy string's server unless the bypass list says direct.
#include "net/proxy/manual_proxy_setting.h"

CManualProxySetting::CManualProxySetting(WideView proxyString, WideView bypassList)
    : servers_(proxyString), bypass_(bypassList) {}

CProxyRoute CManualProxySetting::RouteFor(UrlSchemeKind scheme, WideView host) const {
    const std::optional<CProxyServer>& server = servers_.ServerFor(scheme);
    if (!server || bypass_.Bypasses(host)) {
        return CProxyRoute();
    }
    return CProxyRoute::Through(*server);
}

CProxyRoute CManualProxySetting::RouteFor(const CParsedUrl& url) const {
    return RouteFor(url.SchemeKind(), WideView(url.Host(), url.HostLength()));
}
