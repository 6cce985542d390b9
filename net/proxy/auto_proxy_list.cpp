// ReadAutoProxyList: WinHTTP's proxy list into route tries.
#include "net/proxy/auto_proxy_list.h"

#include "net/proxy/list_entries.h"

namespace {

constexpr WideView kHttpPrefix = u"http://";

// The try one entry names; false for an entry this client cannot use.
bool ReadEntry(WideView entry, CProxyTry& try_) {
    if (EqualsIgnoringAsciiCase(entry, u"DIRECT")) {
        try_ = CProxyTry::Direct();
        return true;
    }
    if (entry.size() > kHttpPrefix.size() &&
        EqualsIgnoringAsciiCase(entry.substr(0, kHttpPrefix.size()), kHttpPrefix)) {
        entry.remove_prefix(kHttpPrefix.size());
    }
    CProxyServer server;
    if (!CProxyServer::ReadHostAndPort(entry, kAutoProxyDefaultPort, server)) {
        return false;
    }
    try_ = CProxyTry::Through(server);
    return true;
}

}  // namespace

std::optional<CProxyRoute> ReadAutoProxyList(WideView list) {
    CProxyRoute route;
    bool usable = false;
    ForEachListEntry(list, u"; \t\r\n", [&](WideView entry) {
        CProxyTry try_;
        if (ReadEntry(entry, try_)) {
            route.Append(try_);
            usable = true;
        }
    });
    if (!usable) {
        return std::nullopt;
    }
    route.Settle();
    return route;
}
