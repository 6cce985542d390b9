// ReadProxyUrl: scheme, userinfo and host of a proxy URL, and the percent-decoding of the
// credentials.
#include "net/proxy/proxy_url.h"

#include <string>

#include "platform/utf8_encoding.h"

namespace {

bool IsSchemeName(WideView text) noexcept {
    if (text.empty()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t lower = AsciiLower(text[i]);
        const bool letter = lower >= u'a' && lower <= u'z';
        const bool other = (text[i] >= u'0' && text[i] <= u'9') || text[i] == u'+' ||
                           text[i] == u'-' || text[i] == u'.';
        if (!letter && (i == 0 || !other)) {
            return false;
        }
    }
    return true;
}

// The bytes the text stands for: "%xx" is one byte, any other code point its UTF-8 form; the
// bytes read back as UTF-8. False when the result holds a control character.
bool DecodeCredential(WideView text, WideString& decoded) {
    std::string bytes;
    const auto put = [&bytes](std::uint32_t byte) { bytes.push_back(static_cast<char>(byte)); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 2 < text.size() && AsciiHexValue(text[i + 1]) >= 0 &&
            AsciiHexValue(text[i + 2]) >= 0) {
            put(static_cast<std::uint32_t>(AsciiHexValue(text[i + 1]) * 16 +
                                           AsciiHexValue(text[i + 2])));
            i += 2;
            continue;
        }
        std::uint32_t point = text[i];
        if (IsHighSurrogate(point) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            point = 0x10000 + ((point - 0xD800) << 10) + (text[++i] - 0xDC00U);
        } else if (IsHighSurrogate(point) || IsLowSurrogate(point)) {
            point = 0xFFFD;  // half a pair stands for no character
        }
        PutUtf8(point, put);
    }
    WideString result;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::int32_t point = DecodeUtf8Sequence(bytes, pos);
        if (point >= 0 && (point < 0x20 || point == 0x7F)) {
            return false;
        }
        PutUtf16(point < 0 ? 0xFFFDu : static_cast<std::uint32_t>(point),
                 [&result](char16_t unit) { result.push_back(unit); });
    }
    decoded.swap(result);
    return true;
}

}  // namespace

ProxyUrlReading ReadProxyUrl(WideView text, CProxyServer& server) {
    WideView rest = text;
    const std::size_t mark = text.find(u"://");
    if (mark != WideView::npos && IsSchemeName(text.substr(0, mark))) {
        if (!EqualsIgnoringAsciiCase(text.substr(0, mark), u"http")) {
            return ProxyUrlReading::kUnusableScheme;
        }
        rest = text.substr(mark + 3);
    } else {
        // "http:/proxy" and the like: a scheme without its "//" is no host:port text.
        const std::size_t colon = text.find(u':');
        if (colon != WideView::npos && IsSchemeName(text.substr(0, colon)) &&
            colon + 1 < text.size() && text[colon + 1] == u'/') {
            return ProxyUrlReading::kMalformed;
        }
    }
    const WideView authority = rest.substr(0, rest.find_first_of(u"/?#"));
    const std::size_t at = authority.find(u'@');
    if (at != WideView::npos && authority.find(u'@', at + 1) != WideView::npos) {
        return ProxyUrlReading::kMalformed;
    }
    CProxyServer read;
    const WideView hostAndPort = at == WideView::npos ? authority : authority.substr(at + 1);
    if (!CProxyServer::ReadHostAndPort(hostAndPort, kProxyUrlDefaultPort, read)) {
        return ProxyUrlReading::kMalformed;
    }
    if (at != WideView::npos) {
        const WideView userinfo = authority.substr(0, at);
        const std::size_t colon = userinfo.find(u':');
        const WideView password = colon == WideView::npos ? WideView() : userinfo.substr(colon + 1);
        if (!DecodeCredential(userinfo.substr(0, colon), read.user) ||
            !DecodeCredential(password, read.password)) {
            return ProxyUrlReading::kMalformed;
        }
        read.hasCredentials = true;
    }
    server = read;
    return ProxyUrlReading::kUsable;
}
