// CMultipartBody: the upload request body, multipart/form-data with a single file part: the
// part head, the archive bytes unchanged, the tail, back to back. This object composes the
// head and the tail around an archive of a known size; the archive's bytes go out between
// them straight from its file (CArchiveBodySource). The part's file name is the session
// identifier, "$" and the archive name; in both, each '"', CR and LF is written as %22, %0D
// and %0A, as browsers do, so that no identifier can end the quoted name early or add header
// lines to the part. Every other byte goes out as is.
#pragma once

#include <cstdint>
#include <string>

#include "platform/wide_text.h"

class CMultipartBody {
public:
    // 27 hyphens and 15 digits; fixed, and never compared with the content.
    static constexpr const char* kBoundary = "---------------------------546534675385635";

    CMultipartBody();

    // Composes the head and the tail for an archive of archiveSize bytes; false when the
    // whole body would not fit in the request's 32-bit length: no request may then be sent.
    bool Compose(WideView archiveFileName, WideView sessionId, std::uint64_t archiveSize);

    const std::string& Head() const { return head_; }
    const std::string& Tail() const { return tail_; }
    // Head, archive and tail together.
    std::uint32_t Size() const { return size_; }
    std::uint32_t HeadLength() const { return static_cast<std::uint32_t>(head_.size()); }
    // "multipart/form-data; boundary=" and the boundary, for the Content-Type header.
    const char16_t* ContentType() const { return contentType_.c_str(); }

private:
    std::string head_;
    std::string tail_;
    std::uint32_t size_ = 0;
    WideString contentType_;
};
