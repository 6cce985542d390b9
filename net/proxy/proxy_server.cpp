// CProxyServer: the host and port reader and equality.
#include "net/proxy/proxy_server.h"

#include "net/proxy/ip_literal.h"

namespace {

bool IsNameUnit(char16_t c) noexcept {
    const char16_t lower = AsciiLower(c);
    return (lower >= u'a' && lower <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_' ||
           c == u'.';
}

bool ReadPort(WideView text, std::uint16_t defaultPort, std::uint16_t& port) noexcept {
    if (text.empty()) {
        port = defaultPort;
        return true;
    }
    std::uint32_t value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
        value = value * 10 + (c - u'0');
        if (value > 65535) {
            return false;
        }
    }
    if (value == 0) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

bool CProxyServer::ReadHostAndPort(WideView text, std::uint16_t defaultPort, CProxyServer& server) {
    WideView host, portText;
    if (!text.empty() && text.front() == u'[') {
        const std::size_t close = text.find(u']');
        CIpLiteral address;
        if (close == WideView::npos || !CIpLiteral::Read(text.substr(1, close - 1), address) ||
            address.AddressFamily() != CIpLiteral::Family::kIpv6) {
            return false;
        }
        host = text.substr(1, close - 1);
        const WideView rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != u':') {
            return false;
        }
        portText = rest.empty() ? rest : rest.substr(1);
    } else {
        const std::size_t colon = text.find(u':');
        host = text.substr(0, colon);
        portText = colon == WideView::npos ? WideView() : text.substr(colon + 1);
        if (host.empty() || host.size() > kMaxHostLength) {
            return false;
        }
        for (const char16_t c : host) {
            if (!IsNameUnit(c)) {
                return false;
            }
        }
    }
    std::uint16_t port = 0;
    if (!ReadPort(portText, defaultPort, port)) {
        return false;
    }
    server.host.assign(host.data(), host.size());
    server.port = port;
    return true;
}

bool CProxyServer::operator==(const CProxyServer& other) const {
    return EqualsIgnoringAsciiCase(host, other.host) && port == other.port &&
           hasCredentials == other.hasCredentials && user == other.user &&
           password == other.password;
}
