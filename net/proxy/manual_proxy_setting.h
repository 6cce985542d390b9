// CManualProxySetting: the route that Windows's manual proxy setting gives a URL: the proxy
// string's server for the URL's scheme (CProxyString) unless the bypass list sends the host
// direct (CProxyBypassList). The route names that one proxy or none; a manual setting adds no
// direct fallback, since in a network that needs the proxy a direct try only costs its
// time-out.
#pragma once

#include "net/proxy/proxy_bypass_list.h"
#include "net/proxy/proxy_route.h"
#include "net/proxy/proxy_string.h"
#include "net/url/parsed_url.h"
#include "platform/wide_text.h"

class CManualProxySetting {
public:
    CManualProxySetting(WideView proxyString, WideView bypassList);

    // The route for a URL of that scheme to host, the host as written in the URL.
    CProxyRoute RouteFor(UrlSchemeKind scheme, WideView host) const;
    CProxyRoute RouteFor(const CParsedUrl& url) const;

private:
    CProxyString servers_;
    CProxyBypassList bypass_;
};
