// CProxyString: the proxy servers of Windows's manual proxy setting (the ProxyServer text of
// the Internet settings), one per scheme:
// - "proxy:8080" alone names one proxy for every scheme; "http=a:8080;https=b:8443" names one
//   per scheme. Entries are separated by ";" and blanks; scheme names ignore letter case;
// - a scheme the string has no entry for goes direct, as WinINet and WinHTTP take it: with
//   "http=a:8080" alone, https goes direct. The first entry for a scheme decides it; a scheme
//   without one takes the first entry without a scheme, if there is one;
// - a server is CProxyServer's "host[:port]" with an IPv6 address in brackets, optionally
//   written "http://host:port"; a server without a port is on port 80, the port Windows takes;
// - a server this client cannot use (written "https://..." or "socks://...", or malformed)
//   sends its scheme direct, as an unusable environment proxy does; entries for other schemes
//   ("ftp=", "socks=") are not read.
// The setting carries no credentials.
#pragma once

#include <optional>

#include "net/proxy/proxy_server.h"
#include "net/url/parsed_url.h"
#include "platform/wide_text.h"

class CProxyString {
public:
    // Windows's port for a proxy named without one.
    static constexpr std::uint16_t kDefaultPort = 80;

    CProxyString() = default;
    explicit CProxyString(WideView text);

    // The proxy for URLs of that scheme (http or https); nothing for every other scheme.
    const std::optional<CProxyServer>& ServerFor(UrlSchemeKind scheme) const noexcept;

private:
    std::optional<CProxyServer> http_;
    std::optional<CProxyServer> https_;
};
