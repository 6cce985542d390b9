// CNoProxyList: splitting the text into entries and the three ways a host matches one.
#include "net/proxy/no_proxy_list.h"

#include "net/proxy/ip_literal.h"
#include "net/proxy/list_entries.h"

namespace {

// The prefix length of an address entry after its "/", as atoi reads it; -1 for a count that
// can match nothing. Counts past any address length are all alike, so reading stops there.
int ReadPrefixBits(WideView text, std::uint32_t addressBits) noexcept {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    std::uint32_t bits = 0;
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
        bits = bits * 10 + (text[pos] - u'0');
        if (bits > addressBits) {
            return -1;
        }
    }
    if (bits == 0) {
        return static_cast<int>(addressBits);
    }
    return negative ? -1 : static_cast<int>(bits);
}

bool AddressMatches(const CIpLiteral& host, WideView entry) {
    const std::size_t slash = entry.find(u'/');
    CIpLiteral address;
    if (!CIpLiteral::Read(entry.substr(0, slash), address) ||
        address.AddressFamily() != host.AddressFamily()) {
        return false;
    }
    const int bits = slash == WideView::npos
                         ? static_cast<int>(host.BitLength())
                         : ReadPrefixBits(entry.substr(slash + 1), host.BitLength());
    return bits >= 0 && host.SharesPrefix(address, static_cast<std::uint32_t>(bits));
}

bool NameMatches(WideView name, WideView entry) {
    if (!entry.empty() && entry.front() == u'.') {
        entry.remove_prefix(1);
    }
    if (!entry.empty() && entry.back() == u'.') {
        entry.remove_suffix(1);
    }
    if (entry.empty() || entry.size() > name.size()) {
        return false;
    }
    const std::size_t start = name.size() - entry.size();
    return EqualsIgnoringAsciiCase(name.substr(start), entry) &&
           (start == 0 || name[start - 1] == u'.');
}

}  // namespace

CNoProxyList::CNoProxyList(WideView text) {
    if (text == u"*") {
        everyHost_ = true;
        return;
    }
    ForEachListEntry(text, u", \t", [this](WideView entry) { entries_.emplace_back(entry); });
}

bool CNoProxyList::Bypasses(WideView host) const {
    if (everyHost_) {
        return true;
    }
    CIpLiteral address;
    const bool isAddress = CIpLiteral::ReadHost(host, address);
    if (!isAddress && !host.empty() && host.back() == u'.') {
        host.remove_suffix(1);
    }
    for (const WideString& entry : entries_) {
        if (isAddress ? AddressMatches(address, entry) : NameMatches(host, entry)) {
            return true;
        }
    }
    return false;
}
