// CProxyRoute: the ordered tries of one upload's connection, each a proxy server or the direct
// connection. The tries are taken in order, the next one only when a connection could not be
// made (time-out, refused), never after a proxy that answered. The route holds each try once
// and, when it holds any try, at least one proxy: "direct only" is the empty route, and a
// DIRECT try appears only in a list that also names a proxy, where it is a fallback in its own
// place. No source adds a direct try that its setting did not name.
#pragma once

#include <cstddef>
#include <vector>

#include "net/proxy/proxy_server.h"

struct CProxyTry {
    bool direct = false;
    CProxyServer server;  // empty for the direct try

    static CProxyTry Direct();
    static CProxyTry Through(const CProxyServer& server);
    bool operator==(const CProxyTry& other) const;
};

class CProxyRoute {
public:
    // Every try that fails costs a connection time-out out of the run's one deadline: a run
    // could not walk a longer list, and no real setting names more alternatives.
    static constexpr std::size_t kMaxTries = 16;

    // The empty route: the connection is made directly.
    CProxyRoute() = default;
    static CProxyRoute Through(const CProxyServer& server);

    const std::vector<CProxyTry>& Tries() const noexcept { return tries_; }
    bool IsDirectOnly() const noexcept { return tries_.empty(); }

    // Appends try_ unless the route holds it already (a second try of a connection that
    // failed once costs another time-out and changes nothing) or holds kMaxTries tries.
    void Append(const CProxyTry& try_);
    // Ends a list: a route that names no proxy becomes the empty route.
    void Settle();

private:
    std::vector<CProxyTry> tries_;
};
