// CNoProxyList: the hosts that go direct although a proxy is set, from the no_proxy text as
// curl 7.88.1 reads it (every rule below was measured against it; tests/net/no_proxy_curl.py
// measures again):
// - the text exactly "*" matches every host; a "*" anywhere else is an entry like any other,
//   and no entry is a pattern ("*.example.com" matches nothing);
// - entries are separated by ",", blanks and tabs; empty entries are dropped;
// - a host name matches an entry equal to it or to one of its parent domains ("example.com"
//   matches "www.example.com", never "myexample.com"), letter case ignored; one leading and
//   one trailing dot of the entry, and one trailing dot of the host, are ignored;
// - an IPv4 host matches an entry "a.b.c.d" or a range "a.b.c.d/bits" of that family and
//   never a name; an IPv6 host (bracketed as in a URL, or not) matches an IPv6 entry without
//   brackets, "::1" or "fd00::/8", compared as addresses;
// - the bits are read as C's atoi reads them (digits after an optional sign, anything after
//   them ignored): none or 0 means the whole address, a negative count or one longer than the
//   address matches nothing;
// - an entry with a port matches nothing: ports are not part of the rules.
// Where this departs from curl 7.88.1, which never matches an IPv6 range, compares IPv6 hosts
// as text and reads IPv4 hosts after rewriting them ("127.1" as 127.0.0.1), the host is the
// URL's as written and IPv6 entries are addresses: curl's manual gives ranges to "IP
// addresses" of either family, and one address written two ways is still one address.
#pragma once

#include <vector>

#include "platform/wide_text.h"

class CNoProxyList {
public:
    CNoProxyList() = default;
    explicit CNoProxyList(WideView text);

    bool MatchesEveryHost() const noexcept { return everyHost_; }
    const std::vector<WideString>& Entries() const noexcept { return entries_; }

    // Whether a request to host, as written in its URL, goes direct.
    bool Bypasses(WideView host) const;

private:
    std::vector<WideString> entries_;
    bool everyHost_ = false;
};
