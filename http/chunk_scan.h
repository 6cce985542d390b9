// The scanners of the chunked body reader: each looks at the unconsumed bytes at hand,
// takes one element of the chunked coding from their front when it is complete (moving the
// range's start past it) and reports what it found. They never read outside the range.
#pragma once

#include <cstdint>

// States of the chunked reader: what it expects next.
enum ChunkReadState : std::int32_t {
    kChunkSizeLine = 0,     // a chunk-size line
    kChunkSizeLineEnd = 1,  // the CR LF ending the size line
    kChunkData = 2,         // the chunk's bytes
    kChunkDataEnd = 3,      // the CR LF after the chunk's bytes
    kChunkTrailer = 4,      // a trailer line, or the blank line ending the trailers
    kChunkLast = 6,         // the CR LF ending the size line of the last (size 0) chunk
};

enum ChunkScanResult : std::int32_t {
    kScanOk = 0,          // an element was taken
    kScanNeedMore = 1,    // the element is not complete in the bytes at hand
    kScanBad = 2,         // the bytes at hand cannot be the expected element
    kScanTrailerEnd = 3,  // the blank line ending the trailer section was taken
};

// Unconsumed bytes [start, end).
struct ChunkRange {
    const std::uint8_t* start;
    const std::uint8_t* end;
};

// A size line's number in base 16: leading white space, one optional sign, an optional 0x,
// hexadecimal digits. Taken only when a CR follows it and it lies in 0..2147483647; the
// range then starts at that CR, which ScanLineEnd takes.
ChunkScanResult ScanChunkSize(ChunkRange& range, std::int32_t& size);
// CR LF.
ChunkScanResult ScanLineEnd(ChunkRange& range);
// The first size bytes, taken only when all of them are at hand.
ChunkScanResult ScanChunkData(ChunkRange& range, std::int32_t size, const std::uint8_t*& chunkStart,
                              std::uint32_t& chunkLength);
// A trailer line up to its CR LF (the line without it in [lineStart, lineEnd)), or the blank
// line that ends the trailers (kScanTrailerEnd). Trailer lines are not folded.
ChunkScanResult ScanTrailerLine(ChunkRange& range, const std::uint8_t*& lineStart,
                                const std::uint8_t*& lineEnd);
