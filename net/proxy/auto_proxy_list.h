// ReadAutoProxyList: the route of the proxy list that WinHTTP hands back for a URL after
// running its auto-config script (WINHTTP_PROXY_INFO's proxy text):
// - entries are separated by ";" and blanks and taken in order;
// - an entry is CProxyServer's "host[:port]" (an IPv6 address in brackets, no port is port
//   80), optionally written "http://host:port"; "DIRECT" (any letter case) is the direct try
//   in its place;
// - an entry this client cannot use (another scheme, malformed) is skipped, and a try already
//   in the list is not repeated.
// Nothing when no entry is usable: the script's answer is then no answer at all, and the
// settings after it decide. A list of DIRECT entries only is the direct route (empty).
#pragma once

#include <optional>

#include "net/proxy/proxy_route.h"
#include "platform/wide_text.h"

// The port of an auto-config proxy named without one.
constexpr std::uint16_t kAutoProxyDefaultPort = 80;

std::optional<CProxyRoute> ReadAutoProxyList(WideView list);
