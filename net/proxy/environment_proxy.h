// The proxy route that the environment variables name, by curl's rules (the program reads the
// environment only on Linux). The variables come through a lookup, so the rules never touch
// the process's environment themselves:
// - an https URL takes https_proxy, else HTTPS_PROXY; an http URL takes http_proxy and never
//   HTTP_PROXY, which a CGI environment fills from a request's "Proxy:" header; then both take
//   all_proxy, else ALL_PROXY. No other scheme goes through a proxy;
// - the hosts that go direct are no_proxy's, else NO_PROXY's (CNoProxyList);
// - a variable set to the empty text counts as unset, as curl 7.88.1 takes it (measured: an
//   empty http_proxy gives way to all_proxy, an empty no_proxy to NO_PROXY).
// The first variable set decides: if its proxy is not usable (ReadProxyUrl: another scheme, a
// malformed text), the upload goes direct. curl would speak SOCKS or TLS to such a proxy, or
// fail the transfer; going direct costs nothing where the proxy was not needed, and where it
// was, the connection fails and the logs wait for a later run. Falling back to all_proxy
// instead would send the upload through a proxy that was meant for other schemes.
#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "net/proxy/proxy_route.h"
#include "net/url/parsed_url.h"
#include "platform/wide_text.h"

// Answers the value of the named environment variable, or nothing when it is not set.
using ProxyVariableLookup = std::function<std::optional<WideString>(std::string_view name)>;

// The route for a URL of that scheme to host, the host as written in the URL.
CProxyRoute EnvironmentProxyRoute(const ProxyVariableLookup& lookup, UrlSchemeKind scheme,
                                  WideView host);
CProxyRoute EnvironmentProxyRoute(const ProxyVariableLookup& lookup, const CParsedUrl& url);

// The process's own environment, each value read as the system's 8-bit text. POSIX only
// (environment_proxy_posix.cpp): the Windows program takes no proxy from its environment.
ProxyVariableLookup ProcessEnvironmentLookup();
