// Shared pieces of the proxy rule fuzz targets: input bytes as UTF-16 text, and the properties
// every proxy server the rules hand out must have, whichever setting named it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/proxy/ip_literal.h"
#include "net/proxy/proxy_server.h"
#include "platform/utf8_encoding.h"
#include "platform/wide_text.h"
#include "tests/support/fuzz_script.h"

// The input read as UTF-8, so that seeds are plain text; a byte that starts no valid sequence
// becomes a lone low surrogate (U+DC80 up), so the rules also meet broken UTF-16.
inline WideString FuzzText(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    WideString text;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t start = pos;
        const std::int32_t point = DecodeUtf8Sequence(bytes, pos);
        if (point < 0) {
            pos = start + 1;
            text.push_back(static_cast<char16_t>(0xDC80 | (data[start] & 0x7F)));
        } else {
            PutUtf16(static_cast<std::uint32_t>(point), [&text](char16_t u) { text.push_back(u); });
        }
    }
    return text;
}

// A host is a name of letters, digits, "-", "_" and "." or an IPv6 address without brackets;
// a port is never 0; credentials come only where the setting can carry them and never hold a
// control character, which a Basic header could not carry.
inline void RequireSoundServer(const CProxyServer& server, bool credentialsAllowed) {
    RequireFuzzProperty(!server.host.empty() && server.host.size() <= CProxyServer::kMaxHostLength);
    RequireFuzzProperty(server.port != 0);
    CIpLiteral address;
    const bool ipv6 = CIpLiteral::Read(server.host, address) &&
                      address.AddressFamily() == CIpLiteral::Family::kIpv6;
    for (const char16_t c : server.host) {
        const char16_t lower = AsciiLower(c);
        const bool nameUnit = (lower >= u'a' && lower <= u'z') || (c >= u'0' && c <= u'9') ||
                              c == u'-' || c == u'_' || c == u'.';
        RequireFuzzProperty(nameUnit || (ipv6 && c == u':'));
    }
    RequireFuzzProperty(credentialsAllowed || !server.hasCredentials);
    RequireFuzzProperty(server.hasCredentials || (server.user.empty() && server.password.empty()));
    for (const WideString* text : {&server.user, &server.password}) {
        for (const char16_t c : *text) {
            RequireFuzzProperty(c >= 0x20 && c != 0x7F);
        }
    }
}

// Splits the input text at its first line feed: the list before it, the host after it.
inline void SplitListAndHost(const WideString& text, WideString& list, WideString& host) {
    const std::size_t feed = text.find(u'\n');
    list = text.substr(0, feed);
    host = feed == WideString::npos ? WideString() : text.substr(feed + 1);
}
