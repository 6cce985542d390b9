// ReadProxyUrl: a proxy as the environment names it ("http://user:pw@proxy:3128"), read the way
// curl 7.88 reads it where that is sound:
// - no scheme means http ("proxy:3128"); only http proxies are usable, since this client speaks
//   neither TLS to a proxy nor SOCKS: any other scheme ("https://", "socks5://") answers
//   kUnusableScheme;
// - the host is a name, a dotted IPv4 address or a bracketed IPv6 address (CProxyServer's
//   rule); no port, or an empty one, is curl's proxy port 1080; path, query and fragment are
//   ignored;
// - a userinfo ("user:pw@", "user@", even "@") gives Basic credentials: the text before the
//   first ":" is the user, the rest the password, each percent-decoded as UTF-8 bytes ("%zz"
//   stays as written; bytes that are not UTF-8 become U+FFFD). Credentials that decode to a
//   control character cannot go into a Basic header: the text is malformed.
// Any other text (blanks around it, "http:/proxy", a second "@", a bare IPv6 address, a port
// outside 1..65535) is kMalformed. On any answer but kUsable the server is left alone.
#pragma once

#include <cstdint>

#include "net/proxy/proxy_server.h"
#include "platform/wide_text.h"

enum class ProxyUrlReading { kUsable, kUnusableScheme, kMalformed };

// curl's port for a proxy named without one (measured: "http_proxy=http://127.0.0.1" makes
// curl 7.88.1 connect to 127.0.0.1:1080).
constexpr std::uint16_t kProxyUrlDefaultPort = 1080;

ProxyUrlReading ReadProxyUrl(WideView text, CProxyServer& server);
