// The chunked-coding scanners. A size line with anything between its digits and its CR (an
// extension, a blank) is never taken: the reader waits for more bytes until its working
// storage is full or the connection ends, and then fails.
#include "http/chunk_scan.h"

#include <cstring>

#include "http/wire_text.h"

namespace {

constexpr std::int64_t kLargestSize = 2147483647;

bool IsLineEnd(const std::uint8_t* at, const std::uint8_t* end) {
    return end - at >= 2 && at[0] == '\r' && at[1] == '\n';
}

}  // namespace

ChunkScanResult ScanChunkSize(ChunkRange& range, std::int32_t& size) {
    const std::uint8_t* p = range.start;
    const std::uint8_t* const end = range.end;
    if (p == end) {
        return kScanNeedMore;
    }
    while (p < end && IsWireWhiteSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexDigitValue(p[2]) >= 0) {
        p += 2;
    }
    const std::uint8_t* const digits = p;
    std::int64_t value = 0;
    for (; p < end && HexDigitValue(*p) >= 0; ++p) {
        if (value <= kLargestSize) {  // beyond it the value only has to stay too large
            value = value * 16 + HexDigitValue(*p);
        }
    }
    // Without a digit nothing is taken: the number ends where the scan started.
    const std::uint8_t* const numberEnd = p == digits ? range.start : p;
    if (p == digits) {
        value = 0;
    }
    if (numberEnd == end || *numberEnd != '\r') {
        return kScanNeedMore;
    }
    if ((negative && value != 0) || value > kLargestSize) {
        return kScanBad;
    }
    size = static_cast<std::int32_t>(value);
    range.start = numberEnd;
    return kScanOk;
}

ChunkScanResult ScanLineEnd(ChunkRange& range) {
    if (range.end - range.start < 2) {
        return kScanNeedMore;
    }
    if (!IsLineEnd(range.start, range.end)) {
        return kScanBad;
    }
    range.start += 2;
    return kScanOk;
}

ChunkScanResult ScanChunkData(ChunkRange& range, std::int32_t size, const std::uint8_t*& chunkStart,
                              std::uint32_t& chunkLength) {
    if (size < 0 || range.end - range.start < size) {
        return kScanNeedMore;
    }
    chunkStart = range.start;
    chunkLength = static_cast<std::uint32_t>(size);
    range.start += size;
    return kScanOk;
}

ChunkScanResult ScanTrailerLine(ChunkRange& range, const std::uint8_t*& lineStart,
                                const std::uint8_t*& lineEnd) {
    if (range.start == range.end) {
        return kScanBad;
    }
    if (IsLineEnd(range.start, range.end)) {
        range.start += 2;
        return kScanTrailerEnd;
    }
    for (const std::uint8_t* p = range.start; p < range.end; ++p) {
        p = static_cast<const std::uint8_t*>(std::memchr(p, '\r', range.end - p));
        if (p == nullptr) {
            break;
        }
        if (IsLineEnd(p, range.end)) {
            lineStart = range.start;
            lineEnd = p;
            range.start = p + 2;
            return kScanOk;
        }
    }
    return kScanNeedMore;
}
