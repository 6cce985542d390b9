// CHttpClientT authentication negotiation with a server: a 401 (or a 407 from a server reached
// without proxy) is answered only when the zone of the current URL allows silent logon, and
// then only by a registered handler's Authenticate for the scheme of one of the collected
// challenges. The log sender's handlers log on to proxies only (http_client_proxy.inl) and
// answer no server, so here it always answers false and the 401 or 407 response stands.
#pragma once

#include <exception>

#include "platform/zone_policy.h"

template <typename TSocket>
bool CHttpClientT<TSocket>::AnswerChallenge(bool forProxy) {
    constexpr std::uint32_t kUrlCapacity = 2084;
    char16_t url[kUrlCapacity];
    std::uint32_t capacity = kUrlCapacity;
    std::uint32_t policy = 0xFFFF;
    if (!currentUrl_.Compose(url, &capacity) || !QueryUrlCredentialsPolicy(url, policy) ||
        policy != kUrlPolicyCredentialsSilentLogonOk) {
        return false;
    }
    for (const WideString& challenge : challenges_) {
        try {
            const WideString scheme = challenge.substr(0, challenge.find(u' '));
            CAuthSchemeHandler* handler = nullptr;
            if (schemes_.Find(scheme, handler) && handler != nullptr && !handler->failed &&
                handler->Authenticate(challenge, forProxy)) {
                return true;
            }
        } catch (const std::exception&) {
            // this challenge is passed over; the next may still be answered
        }
    }
    return false;
}

template <typename TSocket>
void CHttpClientT<TSocket>::AddSchemeHandler(WideView scheme, CAuthSchemeHandler* handler) {
    schemes_.Store(scheme, handler);
}
