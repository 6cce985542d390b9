// CHttpClientT response head: takes bytes in until the head is complete, reads the status
// line, files the header lines (folded lines joined, repeated names joined with a comma),
// hands over to the body readers and closes the connection unless the response left it
// ready for another request. Every scan is bounded by dataEnd_, the end of the held bytes.
#pragma once

#include <climits>
#include <cstring>
#include <new>

#include "http/wire_text.h"
#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"

template <typename TSocket>
ResponseReceiveResult CHttpClientT<TSocket>::ReceiveResponse() {
    ResponseReceiveResult result = ReceiveResponseHead();
    if (result == kReceiveOk) {
        result = ReceiveResponseBody();
    }
    lastReceiveResult_ = result;
    return result;
}

template <typename TSocket>
ResponseReceiveResult CHttpClientT<TSocket>::ReceiveResponseHead() {
    response_.Clear();
    scanPos_ = nullptr;
    dataEnd_ = nullptr;
    headSearchedTo_ = 0;
    return ReceiveHead();
}

// The body of the response whose head was read, by its framing; then the connection is closed
// if the response asked for it or ran to the close.
template <typename TSocket>
ResponseReceiveResult CHttpClientT<TSocket>::ReceiveResponseBody() {
    if (HasChunkedCoding()) {
        if (!ReceiveChunkedBody()) {
            return kReceiveChunksFailed;
        }
        CloseIfServerAsked(false);
        return kReceiveOk;
    }
    const std::uint32_t withHead = response_.Length() - (headOffset_ + headLength_);
    const std::int32_t contentLength = DeclaredContentLength();
    const bool received = ReceiveCountedBody(contentLength, withHead);
    CloseIfServerAsked(contentLength == -1);
    return received ? kReceiveOk : kReceiveBodyFailed;
}

// Reads up to the end of the final head. An interim 100 response stays in the buffer ahead
// of the final one; its lines are not filed.
template <typename TSocket>
ResponseReceiveResult CHttpClientT<TSocket>::ReceiveHead() {
    for (;;) {
        headers_.Clear();
        statusCode_ = -1;
        headLength_ = 0;
        bodyLength_ = 0;
        const std::uint8_t* headStart = nullptr;
        const std::uint8_t* headEnd = nullptr;
        while ((headEnd = LocateHeadEnd(headStart)) == nullptr) {
            if (!ReceiveMore()) {
                return kReceiveSocketFailed;
            }
        }
        headLength_ = static_cast<std::uint32_t>(headEnd - headStart);
        headOffset_ = static_cast<std::uint32_t>(headStart - response_.Data());
        ReadStatusLine(headStart);
        if (statusCode_ == -1) {
            return kReceiveStatusInvalid;
        }
        if (statusCode_ != 100) {
            const std::uint8_t* bodyStart = nullptr;
            return ParseHeaderBlock(headStart, bodyStart) == 0 ? kReceiveOk : kReceiveHeadBad;
        }
    }
}

// A socket read whose count never exceeds the room it was given: a larger one is refused
// and counts as nothing received.
template <typename TSocket>
bool CHttpClientT<TSocket>::ReceiveInto(std::uint8_t* buffer, std::uint32_t room,
                                        std::uint32_t& size) {
    size = room;
    if (settings_ != nullptr && !BoundNextWait()) {
        size = 0;
        return false;
    }
    const bool received = this->ReceiveBytes(buffer, size);
    if (size > room) {
        size = 0;
        return false;
    }
    return received;
}

// A proxy's answer to a CONNECT is part of the connect, bounded by its own deadline and size;
// the settings' callback sees only the server's response.
template <typename TSocket>
bool CHttpClientT<TSocket>::ReportRead(std::uint32_t count) {
    if (openingTunnel_) {
        proxyAnswerBytes_ += std::min(count, kMaxProxyAnswerBytes);
        return proxyAnswerBytes_ <= kMaxProxyAnswerBytes;
    }
    return settings_ == nullptr || settings_->readProgress == nullptr ||
           settings_->readProgress(count, settings_->readProgressValue);
}

template <typename TSocket>
bool CHttpClientT<TSocket>::AppendReceived(const std::uint8_t* bytes, std::uint32_t count) {
    if (!response_.Append(bytes, count)) {
        return false;
    }
    dataEnd_ = response_.Data() + response_.Length();
    return true;
}

// One more piece of the head, in up to five reads of which only the last may deliver bytes.
// The head search keeps its place by offset, since the storage may move.
template <typename TSocket>
bool CHttpClientT<TSocket>::ReceiveMore() {
    constexpr std::uint32_t kBlockSize = 2048;
    std::uint8_t block[kBlockSize];
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::uint32_t size = 0;
        if (!ReceiveInto(block, kBlockSize, size) || !ReportRead(size)) {
            return false;
        }
        if (size > 0) {
            const std::size_t headAt = scanPos_ == nullptr ? 0 : scanPos_ - response_.Data();
            if (!AppendReceived(block, size)) {
                return false;
            }
            scanPos_ = response_.Data() + headAt;
            return true;
        }
    }
    return false;
}

template <typename TSocket>
bool CHttpClientT<TSocket>::IsHeadEndAt(const std::uint8_t* position) const {
    return dataEnd_ - position >= 4 && position[0] == '\r' && position[1] == '\n' &&
           position[2] == '\r' && position[3] == '\n';
}

// Finds the CR LF CR LF that ends the head beginning at scanPos_. Bytes an earlier search
// of the same head already passed are not searched again, only the last three of them, with
// which an end may begin: a head that a server dribbles in costs its length, not its square.
template <typename TSocket>
const std::uint8_t* CHttpClientT<TSocket>::LocateHeadEnd(const std::uint8_t*& headStart) {
    if (scanPos_ == nullptr || scanPos_ >= dataEnd_) {
        return nullptr;
    }
    const std::uint8_t* from = response_.Data() + headSearchedTo_;
    if (from < scanPos_) {
        from = scanPos_;
    }
    for (const std::uint8_t* p = from; dataEnd_ - p >= 4; ++p) {
        p = static_cast<const std::uint8_t*>(std::memchr(p, '\r', dataEnd_ - p));
        if (p == nullptr) {
            break;
        }
        if (IsHeadEndAt(p)) {
            headStart = scanPos_;
            scanPos_ = p + 4;
            return scanPos_;
        }
    }
    const std::uint32_t held = response_.Length();
    headSearchedTo_ = held > 3 ? held - 3 : 0;
    return nullptr;
}

// Skips the protocol version (whatever it says) and the white space after it, reads the
// decimal status code and returns the position after the line's LF.
template <typename TSocket>
const std::uint8_t* CHttpClientT<TSocket>::ReadStatusLine(const std::uint8_t* lineStart) {
    if (lineStart == nullptr || lineStart >= dataEnd_) {
        return nullptr;
    }
    const std::uint8_t* p = lineStart;
    while (p < dataEnd_ && !IsWireWhiteSpace(*p)) {
        ++p;
    }
    while (p < dataEnd_ && IsWireWhiteSpace(*p)) {
        ++p;
    }
    if (p == dataEnd_ || !IsDecimalDigit(*p)) {
        return nullptr;
    }
    std::int64_t code = 0;
    for (; p < dataEnd_ && IsDecimalDigit(*p); ++p) {
        code = code * 10 + (*p - '0');
        if (code > INT_MAX) {
            statusCode_ = INT_MAX;
            return nullptr;
        }
        statusCode_ = static_cast<std::int32_t>(code);
    }
    const auto* lineFeed = static_cast<const std::uint8_t*>(std::memchr(p, '\n', dataEnd_ - p));
    return lineFeed == nullptr ? nullptr : lineFeed + 1;
}

template <typename TSocket>
int CHttpClientT<TSocket>::ParseHeaderBlock(const std::uint8_t* headStart,
                                            const std::uint8_t*& bodyStart) {
    bodyStart = nullptr;
    const std::uint8_t* line = ReadStatusLine(headStart);
    if (line == nullptr) {
        return 2;
    }
    if (dataEnd_ - line >= 2 && line[0] == '\r' && line[1] == '\n') {
        bodyStart = line + 2;  // no header lines
        return 0;
    }
    while (line != nullptr && line < dataEnd_ && *line != 0) {
        const std::uint8_t* end = HeaderLineEnd(line);
        if (end == nullptr) {
            break;
        }
        StoreHeaderLine(line, end);  // a refused line is skipped
        if (IsHeadEndAt(end)) {
            bodyStart = end + 4;
            break;
        }
        line = end + 2;
    }
    return 0;
}

// Start of the line after the one at position: past the next CR LF, or past a zero byte
// and the byte after it. Null when the held bytes end first.
template <typename TSocket>
const std::uint8_t* CHttpClientT<TSocket>::NextLineStart(const std::uint8_t* position) const {
    if (position == nullptr) {
        return nullptr;
    }
    const std::uint8_t* p = position;
    while (p < dataEnd_ && *p != 0 && !(p[0] == '\r' && dataEnd_ - p >= 2 && p[1] == '\n')) {
        ++p;
    }
    return p >= dataEnd_ ? nullptr : p + 2;
}

// The CR that ends the logical header line starting at lineStart: a line that begins with
// white space continues the one above, but the blank line ending the head never does.
template <typename TSocket>
const std::uint8_t* CHttpClientT<TSocket>::HeaderLineEnd(const std::uint8_t* lineStart) const {
    const std::uint8_t* p = lineStart;
    do {
        p = NextLineStart(p);
    } while (p != nullptr && p < dataEnd_ && IsWireWhiteSpace(*p) && !IsHeadEndAt(p - 2));
    if (p == nullptr || p > dataEnd_) {
        return nullptr;
    }
    return p - 2;
}

template <typename TSocket>
bool CHttpClientT<TSocket>::StoreHeaderLine(const std::uint8_t* lineStart,
                                            const std::uint8_t* lineEnd) {
    constexpr std::ptrdiff_t kLongest = 1023;
    if (lineStart == nullptr || lineEnd == nullptr) {
        return false;
    }
    const auto* colon =
        static_cast<const std::uint8_t*>(std::memchr(lineStart, ':', lineEnd - lineStart));
    if (colon == nullptr) {
        return true;  // not a header line: ignored
    }
    if (colon - lineStart > kLongest) {
        return false;
    }
    const std::uint8_t* value = colon + 1;
    while (value < lineEnd && IsWireWhiteSpace(*value)) {
        ++value;
    }
    if (lineEnd - value > kLongest) {
        return false;
    }
    try {
        const auto* text = reinterpret_cast<const char*>(lineStart);
        FileHeader(NarrowToWide(std::string_view(text, colon - lineStart)),
                   NarrowToWide(std::string_view(text + (value - lineStart), lineEnd - value)));
        return true;
    } catch (const CHresultException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

template <typename TSocket>
void CHttpClientT<TSocket>::FileHeader(const WideString& name, const WideString& value) {
    if (EqualsIgnoringAsciiCase(name, u"www-authenticate") ||
        EqualsIgnoringAsciiCase(name, u"proxy-authenticate")) {
        challenges_.push_back(value);
    }
    // Joined in place, so that many repeated lines cost no more than their length.
    if (WideString* stored = headers_.Lookup(name)) {
        *stored += u',';
        *stored += value;
    } else {
        headers_.Store(name, value);
    }
    if (EqualsIgnoringAsciiCase(name, u"set-cookie")) {
        OnCookieHeader(value);
    }
}

// Cookies are not kept by this client; a derived one may.
template <typename TSocket>
void CHttpClientT<TSocket>::OnCookieHeader(const WideString&) {}

template <typename TSocket>
bool CHttpClientT<TSocket>::HeaderValue(WideView name, WideString& value) const {
    try {
        return headers_.Find(name, value);
    } catch (const CHresultException&) {
        return false;
    }
}

template <typename TSocket>
bool CHttpClientT<TSocket>::CopyHeaderValue(WideView name, char16_t* buffer,
                                            std::uint32_t* size) const {
    WideString value;
    if (size == nullptr || !HeaderValue(name, value)) {
        return false;
    }
    const auto needed = static_cast<std::uint32_t>(value.size() + 1);
    if (buffer != nullptr && *size >= needed) {
        std::memcpy(buffer, value.c_str(), needed * sizeof(char16_t));
    }
    *size = needed;
    return true;
}

template <typename TSocket>
bool CHttpClientT<TSocket>::HeaderEquals(WideView name, WideView expected) const {
    WideString value;
    return HeaderValue(name, value) && EqualsIgnoringAsciiCase(value, expected);
}

// A connection is kept for the next request only when the response left it at a clean
// end: not when the server said "Connection: close", nor when nothing delimited the body but
// the connection's end (or a time-out), nor when an HTTP/1.0 server, which closes after its
// answer unless it offers to keep the connection, did not offer it. A request written onto a
// connection the server has closed would fail, a followed redirect included.
template <typename TSocket>
void CHttpClientT<TSocket>::CloseIfServerAsked(bool bodyRanToClose) {
    if (bodyRanToClose || HeaderEquals(u"Connection", u"close") || IsHttp10WithoutKeepAlive()) {
        CloseConnection();
    }
}

template <typename TSocket>
bool CHttpClientT<TSocket>::IsHttp10WithoutKeepAlive() const {
    constexpr char kVersion[] = "HTTP/1.0";
    constexpr std::uint32_t kVersionLength = sizeof kVersion - 1;
    const std::uint8_t* head = response_.Data() + headOffset_;
    return headLength_ > kVersionLength && std::memcmp(head, kVersion, kVersionLength) == 0 &&
           IsWireWhiteSpace(head[kVersionLength]) && !HeaderEquals(u"Connection", u"keep-alive");
}
