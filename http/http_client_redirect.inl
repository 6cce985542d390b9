// CHttpClientT redirects: a 301, 302 or 303 with a "Location" is followed by repeating the
// whole request (same method, head lines, body and send mode) at the new URL, on the same
// connection when host and port stay, and the new response is judged in turn. At most
// kMaxRedirects are followed in one request. A body taken from a body source is sent again
// only when the source says it starts over at each head (kRequestBodySourceRestarts);
// otherwise such a request is not redirected. A redirect never leaves TLS: an https
// request sent to a location of any other scheme would carry its body in clear, so it ends
// false with the 30x response kept.
#pragma once

#include <new>

#include "platform/hresult_exception.h"

template <typename TSocket>
bool CHttpClientT<TSocket>::FollowRedirect() {
    if (redirectsFollowed_ >= kMaxRedirects) {
        return false;
    }
    try {
        WideString location;
        if (!HeaderValue(u"Location", location)) {
            return true;  // nothing to follow: the 30x response stands
        }
        const std::uint32_t flags = settings_->flags;
        if ((flags & kRequestBodyFromSource) != 0 && (flags & kRequestBodySourceRestarts) == 0) {
            return false;
        }
        const WideString extraHeaders =
            settings_->extraHeaders != nullptr ? settings_->extraHeaders : u"";
        MakeLocationAbsolute(location);
        const bool secure = currentUrl_.SchemeKind() == SchemeHttps;
        if (!SetCurrentUrl(location, currentUrl_.Port()) ||
            (secure && currentUrl_.SchemeKind() != SchemeHttps)) {
            return false;  // the 30x response stays as it was read
        }
        CheckConnectionHeader();
        headers_.Clear();
        response_.Clear();
        // Another host or port gets a connection of its own; a failed connect shows in the
        // write below.
        ConnectToServer();
        ++redirectsFollowed_;
        WideString head;
        if (!ComposeRequestHead(head, methodCopy_.c_str(), extraHeaders.c_str()) ||
            !SendRequest(head) || ReceiveResponse() != kReceiveOk) {
            return false;
        }
        return HandleStatus(settings_->flags);
    } catch (const CHresultException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Whether text begins with a scheme and its ":": a letter, then letters, digits, "+", "-" or
// ".", before any "/", "?" or "#".
template <typename TSocket>
bool CHttpClientT<TSocket>::NamesScheme(WideView text) {
    const auto isLetter = [](char16_t c) { return AsciiLower(c) >= u'a' && AsciiLower(c) <= u'z'; };
    if (text.empty() || !isLetter(text[0])) {
        return false;
    }
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u':') {
            return true;
        }
        if (!isLetter(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.') {
            return false;
        }
    }
    return false;
}

// Turns a relative location into an absolute URL on the server being left. The location's
// own "?" or "#" starts the new query; the query of the URL being left is never kept.
template <typename TSocket>
bool CHttpClientT<TSocket>::MakeLocationAbsolute(WideString& location) const {
    constexpr std::uint32_t kCapacity = 2048;
    const WideView whiteSpace = u" \t\n\v\f\r";
    const std::size_t first = location.find_first_not_of(whiteSpace);
    if (first == WideString::npos) {
        return false;
    }
    const WideString trimmed =
        location.substr(first, location.find_last_not_of(whiteSpace) - first + 1);
    CParsedUrl scratch;
    if (scratch.Parse(trimmed.c_str())) {
        location = trimmed;
        return true;
    }
    // A location that names its scheme is absolute: if it does not parse it cannot be
    // followed, and it must never be taken for a path on the server being left.
    if (NamesScheme(trimmed)) {
        return false;
    }
    const std::size_t queryStart = trimmed.find_first_of(u"?#");
    WideString path = trimmed.substr(0, queryStart);
    const WideString query =
        queryStart == WideString::npos ? WideString() : trimmed.substr(queryStart);
    if (path.empty() || path[0] != u'/') {
        WideString base(currentUrl_.Path(), currentUrl_.PathLength());
        const std::size_t lastSlash = base.rfind(u'/');
        if (lastSlash == WideString::npos) {
            return false;
        }
        path = base.substr(0, lastSlash + 1) + path;
    }
    scratch = currentUrl_;
    if (!scratch.SetPath(path.c_str()) || !scratch.SetQuery(query.c_str())) {
        return false;
    }
    char16_t composed[kCapacity];
    std::uint32_t capacity = kCapacity;
    if (!scratch.Compose(composed, &capacity)) {
        return false;
    }
    location.assign(composed, capacity);
    return true;
}

// A server that asked to close has closed: the repeated request needs a new connection.
template <typename TSocket>
void CHttpClientT<TSocket>::CheckConnectionHeader() {
    if (HeaderEquals(u"Connection", u"close")) {
        CloseConnection();
    }
}
