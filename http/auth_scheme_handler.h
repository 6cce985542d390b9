// CAuthSchemeHandler: what the client's scheme registry holds for one authentication scheme
// (registered under the scheme's name, letter case ignored). It serves two kinds of logon:
// - Authenticate: a 401 (or a 407 from a server reached without proxy) whose URL the zone
//   check allows silent logon for; the client offers the whole challenge text and whether a
//   proxy asked, and the first handler that answers true lets the response stand as success.
// - The logon to a proxy the request's proxy chooser named: BeginProxyLogon starts one logon to
//   that proxy, NextProxyToken gives one leg's token after another (the bytes the client
//   base64-encodes behind the scheme name), all legs of one logon on one connection. The proxy's
//   own token of the last 407 (decoded) comes in; an empty one on the first leg.
// A handler marked failed is skipped. The defaults take part in neither kind.
#pragma once

#include <cstdint>
#include <vector>

#include "net/proxy/proxy_server.h"
#include "platform/wide_text.h"

class CAuthSchemeHandler {
public:
    virtual ~CAuthSchemeHandler() = default;
    // True when the handler answered the challenge.
    virtual bool Authenticate(WideView /*challenge*/, bool /*forProxy*/) { return false; }

    // Starts a new logon to proxy, forgetting any earlier one; false when the handler has
    // nothing to log on with there (no credentials, no security package).
    virtual bool BeginProxyLogon(const CProxyServer& /*proxy*/) { return false; }
    // The next leg's token for the proxy's token; complete is set when, from the client's side,
    // this token ends the logon (the request then carries its body). False: the logon failed.
    virtual bool NextProxyToken(const std::vector<std::uint8_t>& /*proxyToken*/,
                                std::vector<std::uint8_t>& /*token*/, bool& /*complete*/) {
        return false;
    }

    bool failed = false;
};
