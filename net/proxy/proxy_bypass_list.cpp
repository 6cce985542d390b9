// CProxyBypassList: splitting the list, the "*" patterns, and the hosts that are always local.
#include "net/proxy/proxy_bypass_list.h"

#include "net/proxy/ip_literal.h"
#include "net/proxy/list_entries.h"

namespace {

WideView WithoutBrackets(WideView text) noexcept {
    if (text.size() >= 2 && text.front() == u'[' && text.back() == u']') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

// Whether text matches pattern whole, "*" standing for any run of units. The greedy walk
// goes back only to the last "*", so it takes time in the product of the two lengths at
// most, whatever the pattern.
bool PatternMatches(WideView pattern, WideView text) noexcept {
    std::size_t p = 0, t = 0;
    std::size_t starAt = WideView::npos, resumeAt = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            resumeAt = t;
        } else if (p < pattern.size() && AsciiLower(pattern[p]) == AsciiLower(text[t])) {
            ++p;
            ++t;
        } else if (starAt != WideView::npos) {
            p = starAt + 1;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

bool IsLocalAddress(const CIpLiteral& address) {
    static const struct {
        const char16_t* network;
        std::uint32_t bits;
    } kLocalNetworks[] = {
        {u"127.0.0.0", 8},
        {u"169.254.0.0", 16},
        {u"::1", 128},
        {u"fe80::", 10},
    };
    CIpLiteral ipv4;
    const CIpLiteral& compared = address.MappedIpv4(ipv4) ? ipv4 : address;
    for (const auto& local : kLocalNetworks) {
        CIpLiteral network;
        CIpLiteral::Read(local.network, network);
        if (compared.SharesPrefix(network, local.bits)) {
            return true;
        }
    }
    return false;
}

}  // namespace

CProxyBypassList::CProxyBypassList(WideView text) {
    ForEachListEntry(text, u"; \t\r\n", [this](WideView entry) {
        if (EqualsIgnoringAsciiCase(entry, u"<local>")) {
            plainNames_ = true;
        } else if (EqualsIgnoringAsciiCase(entry, u"<-loopback>")) {
            localAddresses_ = false;
        } else {
            patterns_.emplace_back(entry);
        }
    });
}

bool CProxyBypassList::Bypasses(WideView host) const {
    CIpLiteral address;
    const bool isAddress = CIpLiteral::ReadHost(host, address);
    if (localAddresses_ &&
        (isAddress ? IsLocalAddress(address) : EqualsIgnoringAsciiCase(host, u"localhost"))) {
        return true;
    }
    if (plainNames_ && !isAddress && !host.empty() && host.find(u'.') == WideView::npos) {
        return true;
    }
    const WideView compared = WithoutBrackets(host);
    for (const WideString& pattern : patterns_) {
        if (PatternMatches(WithoutBrackets(pattern), compared)) {
            return true;
        }
    }
    return false;
}
