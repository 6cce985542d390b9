// The Basic proxy logon: the proxy's own credentials, in one leg.
#include "http/basic_scheme.h"

#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"

bool CBasicScheme::BeginProxyLogon(const CProxyServer& proxy) {
    credentials_.clear();
    if (!proxy.hasCredentials) {
        return false;
    }
    try {
        const std::string text = WideToNarrow(proxy.user + u':' + proxy.password);
        credentials_.assign(text.begin(), text.end());
    } catch (const CHresultException&) {
        return false;
    }
    return true;
}

bool CBasicScheme::NextProxyToken(const std::vector<std::uint8_t>&,
                                  std::vector<std::uint8_t>& token, bool& complete) {
    if (credentials_.empty()) {
        return false;
    }
    token = credentials_;
    complete = true;
    return true;
}
