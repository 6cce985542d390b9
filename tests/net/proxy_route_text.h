// Proxy routes as short text for table rows: the tries in order, separated by blanks, a proxy
// as "host:port" (IPv6 hosts in brackets) or "user:password@host:port" when it carries
// credentials, the direct try as "DIRECT"; the empty (direct) route is "".
#pragma once

#include <string>

#include "net/proxy/proxy_route.h"

inline std::u16string RouteText(const CProxyRoute& route) {
    std::u16string text;
    for (const CProxyTry& one : route.Tries()) {
        if (!text.empty()) {
            text += u' ';
        }
        if (one.direct) {
            text += u"DIRECT";
            continue;
        }
        const CProxyServer& server = one.server;
        if (server.hasCredentials) {
            text += server.user + u':' + server.password + u'@';
        }
        const bool ipv6 = server.host.find(u':') != std::u16string::npos;
        text += ipv6 ? u'[' + server.host + u']' : server.host;
        for (const char c : ":" + std::to_string(server.port)) {
            text += static_cast<char16_t>(c);
        }
    }
    return text;
}
