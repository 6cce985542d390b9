// CProxyServer: one proxy an upload may go through: its host as written (a name, a dotted IPv4
// address, or an IPv6 address held without its brackets), its port, and the Basic credentials
// that came with it, if any. ReadHostAndPort is the one reader of the "host[:port]" text that
// every source of proxy settings uses, so a proxy is valid by the same rule wherever it was
// named: a host of letters, digits, "-", "_" and "." (at most kMaxHostLength), or a bracketed
// IPv6 address; a port of decimal digits from 1 to 65535, or none.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/wide_text.h"

class CProxyServer {
public:
    // The longest name DNS can carry in text form.
    static constexpr std::size_t kMaxHostLength = 253;

    WideString host;
    std::uint16_t port = 0;
    bool hasCredentials = false;
    WideString user;
    WideString password;

    // Reads "host", "host:port", "[v6]" or "[v6]:port" into host and port; a port left out or
    // empty ("host:") is defaultPort. False, leaving server alone, for any other text.
    static bool ReadHostAndPort(WideView text, std::uint16_t defaultPort, CProxyServer& server);

    bool operator==(const CProxyServer& other) const;
    bool operator!=(const CProxyServer& other) const { return !(*this == other); }
};
