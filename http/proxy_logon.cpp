// The proxy logon's state: which scheme answers a 407, with what, and when to give up.
#include "http/proxy_logon.h"

#include <algorithm>
#include <exception>

#include "http/auth_challenge.h"
#include "http/base64.h"
#include "platform/text_conversion.h"

namespace {

// The schemes the client can answer, strongest first.
constexpr const char16_t* kSchemeOrder[] = {u"Negotiate", u"NTLM", u"Basic"};

bool SameName(WideView a, WideView b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

const CAuthChallenge* Offered(const std::vector<CAuthChallenge>& challenges, WideView scheme) {
    for (const CAuthChallenge& challenge : challenges) {
        if (SameName(challenge.scheme, scheme)) {
            return &challenge;
        }
    }
    return nullptr;
}

}  // namespace

void CProxyLogon::UseProxy(const CProxyServer& proxy) {
    if (haveProxy_ && proxy == proxy_) {
        return;
    }
    Forget();
    proxy_ = proxy;
    haveProxy_ = true;
    if (proxy.hasCredentials && !Start(u"Basic")) {
        refused_.push_back(u"Basic");
    }
}

void CProxyLogon::Forget() {
    haveProxy_ = false;
    proxy_ = CProxyServer();
    refused_.clear();
    current_ = nullptr;
    currentScheme_.clear();
    complete_ = false;
    rounds_ = 0;
    authorization_.clear();
}

void CProxyLogon::Accepted() {
    rounds_ = 0;
    if (current_ != nullptr && !SameName(currentScheme_, u"Basic")) {
        // A connection-bound logon holds for its connection only; a new connection logs on
        // again when the proxy asks.
        current_ = nullptr;
        authorization_.clear();
    }
}

bool CProxyLogon::Answer(WideView challengeText, bool kept) {
    if (!haveProxy_ || rounds_ >= kMaxRounds) {
        return false;
    }
    try {
        const std::vector<CAuthChallenge> challenges = ReadChallenges(challengeText);
        if (current_ != nullptr && kept && !complete_) {
            const CAuthChallenge* own = Offered(challenges, currentScheme_);
            if (own != nullptr && !own->data.empty() && Continue(own->data)) {
                return true;
            }
        }
        if (current_ != nullptr && (complete_ || kept)) {
            refused_.push_back(currentScheme_);
        }
        current_ = nullptr;
        authorization_.clear();
        for (const char16_t* scheme : kSchemeOrder) {
            const bool isRefused =
                std::any_of(refused_.begin(), refused_.end(),
                            [&](const WideString& name) { return SameName(name, scheme); });
            if (!isRefused && Offered(challenges, scheme) != nullptr) {
                if (Start(scheme)) {
                    ++rounds_;
                    return true;
                }
                refused_.push_back(scheme);
            }
        }
    } catch (const std::exception&) {
        current_ = nullptr;
        authorization_.clear();
    }
    return false;
}

bool CProxyLogon::Start(WideView scheme) {
    CAuthSchemeHandler* handler = lookup_ ? lookup_(scheme) : nullptr;
    if (handler == nullptr && SameName(scheme, u"Basic")) {
        handler = &ownBasic_;
    }
    std::vector<std::uint8_t> token;
    bool complete = false;
    if (handler == nullptr || handler->failed || !handler->BeginProxyLogon(proxy_) ||
        !handler->NextProxyToken({}, token, complete)) {
        return false;
    }
    current_ = handler;
    currentScheme_ = WideString(scheme);
    complete_ = complete;
    return SetToken(scheme, token);
}

bool CProxyLogon::Continue(WideView data) {
    std::vector<std::uint8_t> proxyToken;
    std::vector<std::uint8_t> token;
    bool complete = false;
    if (!Base64Decode(data, proxyToken) || !current_->NextProxyToken(proxyToken, token, complete)) {
        return false;
    }
    ++rounds_;
    complete_ = complete;
    return SetToken(currentScheme_, token);
}

bool CProxyLogon::SetToken(WideView scheme, const std::vector<std::uint8_t>& token) {
    authorization_ = WideString(scheme) + u' ' + NarrowToWide(Base64Encode(token));
    return true;
}
