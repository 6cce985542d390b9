// SystemLogonSchemes on Windows: Negotiate, then NTLM, each through its SSPI package with the
// logged-on user's own credentials (CSspiScheme).
#include <memory>

#include "http/sspi_scheme.h"
#include "http/system_logon.h"

SchemeHandlerList SystemLogonSchemes() {
    SchemeHandlerList schemes;
    for (const char16_t* package : {u"Negotiate", u"NTLM"}) {
        schemes.emplace_back(package, std::make_unique<CSspiScheme>(package));
    }
    return schemes;
}
