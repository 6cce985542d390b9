// CSspiScheme: the silent logon to a proxy through one Windows security package (Negotiate,
// NTLM), with the logged-on user's own credentials. BeginProxyLogon acquires the package's
// outbound credentials and names the proxy's service, "HTTP/<proxy host>"; NextProxyToken runs
// one leg of the package's exchange on the proxy's token. The credentials and the security
// context are released with the object and whenever a new logon begins. Tokens are at most
// the package's own maximum size. Windows only (sspi_scheme_win32.cpp); the security package
// is the system's, so no other platform has this class.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "http/auth_scheme_handler.h"
#include "platform/wide_text.h"

// Explicit credentials in place of the logged-on user's, for tests that log on as an account
// of their own; the program itself never passes any.
struct CSspiIdentity {
    WideString domain;
    WideString user;
    WideString password;
};

class CSspiScheme : public CAuthSchemeHandler {
public:
    // The largest proxy token a leg takes in: far above any package's tokens.
    static constexpr std::size_t kMaxProxyToken = 64 * 1024;

    explicit CSspiScheme(WideString package, std::optional<CSspiIdentity> identity = std::nullopt);
    ~CSspiScheme() override;
    CSspiScheme(const CSspiScheme&) = delete;
    CSspiScheme& operator=(const CSspiScheme&) = delete;

    bool BeginProxyLogon(const CProxyServer& proxy) override;
    bool NextProxyToken(const std::vector<std::uint8_t>& proxyToken,
                        std::vector<std::uint8_t>& token, bool& complete) override;

private:
    struct CLogon;  // the credentials and context of one logon

    WideString package_;
    std::optional<CSspiIdentity> identity_;
    std::unique_ptr<CLogon> logon_;
};
