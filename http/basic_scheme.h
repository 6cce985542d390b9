// CBasicScheme: the Basic logon to a proxy with the user name and password that came with the
// proxy's setting (the user part of a Linux proxy URL). One leg: "user:password" in the
// system's 8-bit text, which the client sends with the first request to the proxy. Nothing is
// prompted for or stored; a proxy named without credentials gets no Basic logon.
#pragma once

#include "http/auth_scheme_handler.h"

class CBasicScheme : public CAuthSchemeHandler {
public:
    bool BeginProxyLogon(const CProxyServer& proxy) override;
    bool NextProxyToken(const std::vector<std::uint8_t>& proxyToken,
                        std::vector<std::uint8_t>& token, bool& complete) override;

private:
    std::vector<std::uint8_t> credentials_;
};
