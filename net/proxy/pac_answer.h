// ReadPacAnswer: the route that a proxy auto-config script's answer names
// ("PROXY a:3128; PROXY b:3128; DIRECT"), its entries taken in order:
// - entries are separated by ";", each a keyword and, but for DIRECT, a server, with blanks
//   around and between them; keywords ignore letter case;
// - "PROXY host[:port]" and its synonym "HTTP host[:port]" name an http proxy (CProxyServer's
//   host rule, an IPv6 address in brackets; no port is port 80); "DIRECT" is the direct try,
//   in its place in the list;
// - entries this client cannot use are skipped: "HTTPS", "SOCKS", "SOCKS4", "SOCKS5" and
//   unknown keywords, and malformed entries ("PROXY" without a server, "DIRECT x");
// - a try already in the list is not repeated, and an answer that names no usable proxy is
//   the direct route (empty), which is also what an empty answer gives.
#pragma once

#include "net/proxy/proxy_route.h"
#include "platform/wide_text.h"

// The port of a PAC proxy named without one.
constexpr std::uint16_t kPacDefaultPort = 80;

CProxyRoute ReadPacAnswer(WideView answer);
