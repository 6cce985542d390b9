// CMultipartBody: the one block of an upload request body, multipart/form-data with a single
// file part: the part head, the archive bytes unchanged, the tail, back to back. The part's
// file name is the session identifier, "$" and the archive name; in both, each '"', CR and
// LF is written as %22, %0D and %0A, as browsers do, so that no identifier can end the
// quoted name early or add header lines to the part. Every other byte goes out as is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/wide_text.h"

class CMultipartBody {
public:
    // 27 hyphens and 15 digits; fixed, and never compared with the content.
    static constexpr const char* kBoundary = "---------------------------546534675385635";

    CMultipartBody();

    // Builds the block; false, with no block, when it cannot be allocated or its length
    // would not fit in 32 bits: no request may then be sent.
    bool Build(WideView archiveFileName, WideView sessionId, const std::uint8_t* data,
               std::uint32_t dataSize);

    const std::uint8_t* Data() const { return block_.get(); }
    std::uint32_t Size() const { return size_; }
    std::uint32_t HeadLength() const { return headLength_; }
    // "multipart/form-data; boundary=" and the boundary, for the Content-Type header.
    const char16_t* ContentType() const { return contentType_.c_str(); }

private:
    std::unique_ptr<std::uint8_t[]> block_;
    std::uint32_t size_ = 0;
    std::uint32_t headLength_ = 0;
    WideString contentType_;
};
