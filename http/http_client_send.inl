// CHttpClientT request head and send modes: the exact bytes of a request on the wire. The
// head is composed as wide text and written as 8-bit text without a terminating zero; the
// body goes straight from the caller's memory (or the body source's pieces) to the socket.
#pragma once

#include <cstring>
#include <new>
#include <string>

#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"
#include "platform/text_format.h"

template <typename TSocket>
bool CHttpClientT<TSocket>::ComposeRequestHead(WideString& head, const char16_t* method,
                                               const char16_t* extraHeaders) {
    if (settings_ == nullptr) {
        return false;
    }
    try {
        WideString text(WideViewOf(method));
        text += u' ';
        AppendRequestTarget(text);
        text += u" HTTP/1.1\r\n";
        if (bodyless_ && settings_->postDataLength > 0) {
            text += u"Content-Length: 0\r\n";
        } else {
            if (settings_->postDataLength > 0) {
                text += FormatWide(u"Content-Length: %u\r\n", settings_->postDataLength);
            }
            if (settings_->contentType != nullptr && settings_->contentType[0] != 0) {
                text += u"Content-Type: ";
                text += settings_->contentType;
                text += u"\r\n";
            }
        }
        if (extraHeaders != nullptr) {
            text += extraHeaders;
        }
        if (viaProxy_ && !logon_.Authorization().empty()) {
            text += u"Proxy-Authorization: " + logon_.Authorization() + u"\r\n";
        }
        text += FormatWide(u"Host: %s\r\n", currentUrl_.Host());
        text += u"User-Agent: Ombrix-Native/8.00\r\n\r\n";
        head = std::move(text);
        return true;
    } catch (const CHresultException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Writes the head and the body in the mode the settings choose and says whether exactly
// the head and postDataLength body bytes went out. A progress callback that stopped the
// write, a body source that supplied another total or a short write all fail here.
template <typename TSocket>
bool CHttpClientT<TSocket>::SendRequest(const WideString& wideHead) {
    std::string narrow;
    try {
        narrow = WideToNarrow(wideHead);
    } catch (const CHresultException&) {
        return false;
    }
    const auto headLength = static_cast<std::uint32_t>(std::strlen(narrow.c_str()));
    const auto* head = reinterpret_cast<const std::uint8_t*>(narrow.data());
    const std::uint64_t expected =
        std::uint64_t{headLength} + (bodyless_ ? 0 : settings_->postDataLength);
    std::uint64_t written = 0;
    if (bodyless_) {
        written = SendHeadOnly(head, headLength);
    } else if ((settings_->flags & kRequestBodyFromSource) != 0) {
        written = SendBodyFromSource(head, headLength);
    } else if (settings_->postData == nullptr) {
        written = SendHeadOnly(head, headLength);
    } else if ((settings_->flags & kRequestBodyInBlocks) != 0) {
        written = SendBodyInBlocks(head, headLength);
    } else {
        written = SendHeadAndBody(head, headLength);
    }
    return written == expected;
}

// One gather write of up to two pieces; the count is what went out, whatever the result.
template <typename TSocket>
std::uint32_t CHttpClientT<TSocket>::WritePieces(const std::uint8_t* first,
                                                 std::uint32_t firstLength,
                                                 const std::uint8_t* second,
                                                 std::uint32_t secondLength) {
    // The descriptor type is shared with the system call, which never writes through it.
    const CSocketBuffer buffers[2] = {
        {firstLength, reinterpret_cast<char*>(const_cast<std::uint8_t*>(first))},
        {secondLength, reinterpret_cast<char*>(const_cast<std::uint8_t*>(second))}};
    std::uint32_t sent = 0;
    if (BoundNextWait()) {
        this->SendBuffers(buffers, second != nullptr ? 2 : 1, sent);
    }
    return sent;
}

template <typename TSocket>
bool CHttpClientT<TSocket>::ReportSent(std::uint32_t count) const {
    return settings_->sendProgress == nullptr ||
           settings_->sendProgress(count, settings_->sendProgressValue);
}

template <typename TSocket>
std::uint64_t CHttpClientT<TSocket>::SendHeadOnly(const std::uint8_t* head,
                                                  std::uint32_t headLength) {
    const std::uint32_t sent = WritePieces(head, headLength, nullptr, 0);
    ReportSent(sent);  // too late to stop anything: the result does not count
    return sent;
}

template <typename TSocket>
std::uint64_t CHttpClientT<TSocket>::SendHeadAndBody(const std::uint8_t* head,
                                                     std::uint32_t headLength) {
    const std::uint32_t sent =
        WritePieces(head, headLength, settings_->postData, settings_->postDataLength);
    ReportSent(sent);
    return sent;
}

template <typename TSocket>
std::uint64_t CHttpClientT<TSocket>::SendBodyInBlocks(const std::uint8_t* head,
                                                      std::uint32_t headLength) {
    const std::uint32_t blockSize = settings_->sendBlockSize;
    if (blockSize == 0 || (settings_->flags & kRequestBodyInBlocks) == 0) {
        return 0;
    }
    const std::uint32_t headSent = WritePieces(head, headLength, nullptr, 0);
    if (!ReportSent(headSent) || headSent == 0) {
        return 0;
    }
    std::uint64_t total = headSent;
    std::uint32_t offset = 0;
    for (std::uint32_t remainder = settings_->postDataLength; remainder != 0;) {
        const std::uint32_t block = remainder < blockSize ? remainder : blockSize;
        const std::uint32_t sent = WritePieces(settings_->postData + offset, block, nullptr, 0);
        if (sent != block || !ReportSent(sent)) {
            return 0;
        }
        total += sent;
        offset += sent;
        remainder -= sent;
    }
    return total;
}

template <typename TSocket>
std::uint64_t CHttpClientT<TSocket>::SendBodyFromSource(const std::uint8_t* head,
                                                        std::uint32_t headLength) {
    if (settings_->bodySource == nullptr || (settings_->flags & kRequestBodyFromSource) == 0) {
        return 0;
    }
    const std::uint32_t headSent = WritePieces(head, headLength, nullptr, 0);
    if (!ReportSent(headSent) || headSent == 0) {
        return 0;
    }
    std::uint64_t total = headSent;
    const std::uint8_t* piece = head;
    std::uint32_t pieceLength = headLength;
    while (settings_->bodySource(&piece, &pieceLength, settings_->bodySourceValue) &&
           pieceLength != 0 && piece != nullptr) {
        const std::uint32_t sent = WritePieces(piece, pieceLength, nullptr, 0);
        if (sent != pieceLength || !ReportSent(sent)) {
            return 0;
        }
        total += sent;
    }
    return total;
}
