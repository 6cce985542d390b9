// CProxyBypassList: the hosts that go direct past the manual proxy setting of Windows (the
// ProxyOverride text of the Internet settings):
// - entries are separated by ";" and blanks; letter case is ignored;
// - an entry is a pattern for the whole host in which "*" stands for any run of characters,
//   dots included ("*.example.com", "192.168.*", "*"); brackets around an IPv6 host or entry
//   are not part of the comparison;
// - "<local>" matches a host name without a dot ("intranet"); an IP address is no name;
// - loopback hosts (localhost, 127.0.0.0/8, ::1) and link-local addresses (169.254.0.0/16,
//   fe80::/10, and IPv4 addresses of either kind written as IPv4-mapped IPv6) always go
//   direct, unless the list holds "<-loopback>": a proxy elsewhere cannot reach this machine's
//   own addresses, and link-local ones are the local link's.
// Hosts are compared as written: no name is resolved.
#pragma once

#include <vector>

#include "platform/wide_text.h"

class CProxyBypassList {
public:
    CProxyBypassList() = default;
    explicit CProxyBypassList(WideView text);

    // The entries that are patterns, "<local>" and "<-loopback>" left out.
    const std::vector<WideString>& Patterns() const noexcept { return patterns_; }

    // Whether a request to host, as written in its URL, goes direct.
    bool Bypasses(WideView host) const;

private:
    std::vector<WideString> patterns_;
    bool plainNames_ = false;
    bool localAddresses_ = true;
};
