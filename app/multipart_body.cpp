// The multipart head and tail.
#include "app/multipart_body.h"

#include <limits>

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

bool CMultipartBody::Compose(WideView archiveFileName, WideView sessionId,
                             std::uint64_t archiveSize) {
    size_ = 0;
    head_ = FormatNarrow(
        "--%s\r\nContent-Disposition: form-data; name=\"file\"; filename=\"%s$%s\"\r\n"
        "Content-Type: application/octet-stream\r\n\r\n",
        kBoundary, EscapeForPartHead(sessionId), EscapeForPartHead(archiveFileName));
    tail_ = FormatNarrow("\r\n--%s--\r\n", kBoundary);
    const std::uint64_t limit = std::numeric_limits<std::uint32_t>::max();
    const std::uint64_t frame = std::uint64_t{head_.size()} + tail_.size();
    if (archiveSize > limit - frame) {
        return false;
    }
    size_ = static_cast<std::uint32_t>(frame + archiveSize);
    return true;
}
