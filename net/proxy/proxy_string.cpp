// CProxyString: the entries of the proxy string, and which of them serves each scheme.
#include "net/proxy/proxy_string.h"

#include "net/proxy/list_entries.h"

namespace {

// The server an entry's text names, if this client can use it.
std::optional<CProxyServer> ReadServer(WideView text) {
    const std::size_t mark = text.find(u"://");
    if (mark != WideView::npos) {
        if (!EqualsIgnoringAsciiCase(text.substr(0, mark), u"http")) {
            return std::nullopt;
        }
        text.remove_prefix(mark + 3);
    }
    CProxyServer server;
    if (!CProxyServer::ReadHostAndPort(text, CProxyString::kDefaultPort, server)) {
        return std::nullopt;
    }
    return server;
}

}  // namespace

CProxyString::CProxyString(WideView text) {
    bool httpNamed = false, httpsNamed = false, anyNamed = false;
    std::optional<CProxyServer> any;
    ForEachListEntry(text, u"; \t\r\n", [&](WideView entry) {
        const std::size_t equals = entry.find(u'=');
        if (equals == WideView::npos) {
            if (!anyNamed) {
                anyNamed = true;
                any = ReadServer(entry);
            }
            return;
        }
        const WideView scheme = entry.substr(0, equals);
        const WideView server = entry.substr(equals + 1);
        if (EqualsIgnoringAsciiCase(scheme, u"http") && !httpNamed) {
            httpNamed = true;
            http_ = ReadServer(server);
        } else if (EqualsIgnoringAsciiCase(scheme, u"https") && !httpsNamed) {
            httpsNamed = true;
            https_ = ReadServer(server);
        }
    });
    if (!httpNamed) {
        http_ = any;
    }
    if (!httpsNamed) {
        https_ = any;
    }
}

const std::optional<CProxyServer>& CProxyString::ServerFor(UrlSchemeKind scheme) const noexcept {
    static const std::optional<CProxyServer> kNone;
    if (scheme == SchemeHttp) {
        return http_;
    }
    return scheme == SchemeHttps ? https_ : kNone;
}
