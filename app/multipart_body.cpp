// The multipart body, assembled once in one block that the HTTP client sends from.
#include "app/multipart_body.h"

#include <cstring>
#include <limits>
#include <new>

#include "platform/text_conversion.h"
#include "platform/text_format.h"

namespace {

// Quotes and line ends would break the part head's quoted file name or its lines.
std::string EscapeForPartHead(WideView text) {
    const std::string narrow = WideToNarrow(text);
    std::string escaped;
    escaped.reserve(narrow.size());
    for (const char c : narrow) {
        if (c == '"') {
            escaped += "%22";
        } else if (c == '\r') {
            escaped += "%0D";
        } else if (c == '\n') {
            escaped += "%0A";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace

CMultipartBody::CMultipartBody()
    : contentType_(FormatWide(u"multipart/form-data; boundary=%S", kBoundary)) {}

bool CMultipartBody::Build(WideView archiveFileName, WideView sessionId, const std::uint8_t* data,
                           std::uint32_t dataSize) {
    block_.reset();
    size_ = 0;
    headLength_ = 0;
    const std::string head = FormatNarrow(
        "--%s\r\nContent-Disposition: form-data; name=\"file\"; filename=\"%s$%s\"\r\n"
        "Content-Type: application/octet-stream\r\n\r\n",
        kBoundary, EscapeForPartHead(sessionId), EscapeForPartHead(archiveFileName));
    const std::string tail = FormatNarrow("\r\n--%s--\r\n", kBoundary);
    const std::uint64_t total = std::uint64_t{head.size()} + dataSize + tail.size();
    if (total > std::numeric_limits<std::uint32_t>::max() || (data == nullptr && dataSize != 0)) {
        return false;
    }
    // The block is owned here by design: it is filled once, so it is not zeroed first.
    block_.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(total)]);
    if (!block_) {
        return false;
    }
    std::memcpy(block_.get(), head.data(), head.size());
    if (dataSize != 0) {
        std::memcpy(block_.get() + head.size(), data, dataSize);
    }
    std::memcpy(block_.get() + head.size() + dataSize, tail.data(), tail.size());
    size_ = static_cast<std::uint32_t>(total);
    headLength_ = static_cast<std::uint32_t>(head.size());
    return true;
}
