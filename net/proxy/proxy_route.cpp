// CProxyRoute: building a route without repeated tries.
#include "net/proxy/proxy_route.h"

#include <algorithm>

CProxyTry CProxyTry::Direct() {
    CProxyTry result;
    result.direct = true;
    return result;
}

CProxyTry CProxyTry::Through(const CProxyServer& server) {
    CProxyTry result;
    result.server = server;
    return result;
}

bool CProxyTry::operator==(const CProxyTry& other) const {
    return direct == other.direct && (direct || server == other.server);
}

CProxyRoute CProxyRoute::Through(const CProxyServer& server) {
    CProxyRoute route;
    route.tries_.push_back(CProxyTry::Through(server));
    return route;
}

void CProxyRoute::Append(const CProxyTry& try_) {
    if (tries_.size() < kMaxTries &&
        std::find(tries_.begin(), tries_.end(), try_) == tries_.end()) {
        tries_.push_back(try_);
    }
}

void CProxyRoute::Settle() {
    const bool namesProxy =
        std::any_of(tries_.begin(), tries_.end(), [](const CProxyTry& t) { return !t.direct; });
    if (!namesProxy) {
        tries_.clear();
    }
}
