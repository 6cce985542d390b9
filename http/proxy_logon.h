// CProxyLogon: the client's logon to the proxy it goes through, one state per client. It
// decides what each request to the proxy carries in Proxy-Authorization and answers each 407:
// - a proxy named with credentials gets Basic with the first request (a late logon would send
//   the body twice, and a CONNECT waits for it anyway);
// - a 407 is answered from its own challenges only (never from earlier responses'), by the
//   strongest scheme it offers that a handler is registered for and has not been refused on
//   this proxy: Negotiate, then NTLM, then Basic;
// - the legs of one logon go on one connection: the proxy's token in the 407 goes to the
//   scheme in progress. A 407 that closed the connection starts that scheme over on the new
//   one; a 407 to a token that ended a logon refuses that scheme;
// - at most kMaxRounds answers per logon; a response other than 407 ends the logon;
// - a leg that does not end the logon goes without the request's body.
#pragma once

#include <functional>
#include <vector>

#include "http/auth_scheme_handler.h"
#include "http/basic_scheme.h"
#include "net/proxy/proxy_server.h"
#include "platform/wide_text.h"

class CProxyLogon {
public:
    static constexpr int kMaxRounds = 3;
    // The registered handler for a scheme name, or null.
    using SchemeLookup = std::function<CAuthSchemeHandler*(WideView scheme)>;

    explicit CProxyLogon(SchemeLookup lookup) : lookup_(std::move(lookup)) {}

    // The connection now goes through proxy. Another proxy than before starts afresh, with
    // Basic at once when it has credentials; the same one keeps its state.
    void UseProxy(const CProxyServer& proxy);
    // No proxy is in use.
    void Forget();
    // The value for the next request's Proxy-Authorization line; empty for none.
    const WideString& Authorization() const noexcept { return authorization_; }
    // False while a leg that does not end the logon is the next to go.
    bool NextCarriesBody() const noexcept { return current_ == nullptr || complete_; }
    // Answers a 407 whose Proxy-Authenticate value (fields joined) is challenges; kept says its
    // connection stayed open. False when nothing more can be tried.
    bool Answer(WideView challenges, bool kept);
    // A response other than 407 came: the logon, if any, is over and its rounds are freed.
    void Accepted();

private:
    bool Start(WideView scheme);
    bool Continue(WideView data);
    bool SetToken(WideView scheme, const std::vector<std::uint8_t>& token);

    SchemeLookup lookup_;
    CBasicScheme ownBasic_;
    CProxyServer proxy_;
    bool haveProxy_ = false;
    std::vector<WideString> refused_;
    CAuthSchemeHandler* current_ = nullptr;
    WideString currentScheme_;
    bool complete_ = false;
    int rounds_ = 0;
    WideString authorization_;
};
