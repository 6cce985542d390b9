// The chunked-coding scanners: size lines, line ends, chunk data and trailer lines, each
// taken only when complete in the bytes at hand.
#include <gtest/gtest.h>

#include <string>

#include "http/chunk_scan.h"

namespace {

ChunkRange RangeOf(const std::string& bytes) {
    const auto* start = reinterpret_cast<const std::uint8_t*>(bytes.data());
    return ChunkRange{start, start + bytes.size()};
}

struct SizeCase {
    const char* name;
    std::string bytes;
    ChunkScanResult result;
    std::int32_t size;     // when taken
    std::size_t consumed;  // bytes taken (the CR after the number stays)
};

TEST(ChunkScan, SizeLineTable) {
    const SizeCase cases[] = {
        {"plain", "5\r\n", kScanOk, 5, 1},
        {"hex letters", "1aF\r\n", kScanOk, 0x1AF, 3},
        {"0x prefix", "0x5\r\n", kScanOk, 5, 3},
        {"0X prefix", "0X1f\r\n", kScanOk, 0x1F, 4},
        {"plus sign", "+5\r\n", kScanOk, 5, 2},
        {"leading blank", " 5\r\n", kScanOk, 5, 2},
        {"leading tab and CR LF", "\t\r\n5\r\n", kScanOk, 5, 4},
        {"zero", "0\r\n", kScanOk, 0, 1},
        {"minus zero", "-0\r\n", kScanOk, 0, 2},
        {"empty line reads as 0", "\r\nX", kScanOk, 0, 0},
        {"largest size", "7fffffff\r\n", kScanOk, 2147483647, 8},
        {"leading zeros", "0000000000000005\r\n", kScanOk, 5, 16},
        {"negative", "-5\r\n", kScanBad, 0, 0},
        {"one past the largest", "80000000\r\n", kScanBad, 0, 0},
        {"far too large", "ffffffffffffffffffff\r\n", kScanBad, 0, 0},
        {"empty range", "", kScanNeedMore, 0, 0},
        {"digits up to the end", "5", kScanNeedMore, 0, 0},
        {"0x up to the end", "0x", kScanNeedMore, 0, 0},
        {"0x without digits", "0x\r\n", kScanNeedMore, 0, 0},
        {"extension", "5;ext=1\r\n", kScanNeedMore, 0, 0},
        {"blank after digits", "5 \r\n", kScanNeedMore, 0, 0},
        {"LF without CR", "5\n", kScanNeedMore, 0, 0},
        {"only white space", "  ", kScanNeedMore, 0, 0},
        {"blank then no digit", " \r\n", kScanNeedMore, 0, 0},
        {"second sign", "+-5\r\n", kScanNeedMore, 0, 0},
    };
    for (const auto& c : cases) {
        ChunkRange range = RangeOf(c.bytes);
        const std::uint8_t* const start = range.start;
        std::int32_t size = -7;
        EXPECT_EQ(ScanChunkSize(range, size), c.result) << c.name;
        if (c.result == kScanOk) {
            EXPECT_EQ(size, c.size) << c.name;
            EXPECT_EQ(static_cast<std::size_t>(range.start - start), c.consumed) << c.name;
        } else {
            EXPECT_EQ(range.start, start) << c.name;
            EXPECT_EQ(size, -7) << c.name;
        }
    }
}

TEST(ChunkScan, LineEnd) {
    const struct {
        const char* bytes;
        ChunkScanResult result;
    } cases[] = {{"\r\nx", kScanOk},   {"\r", kScanNeedMore}, {"", kScanNeedMore},
                 {"x", kScanNeedMore}, {"\n\r", kScanBad},    {"ab", kScanBad}};
    for (const auto& c : cases) {
        const std::string bytes = c.bytes;
        ChunkRange range = RangeOf(bytes);
        const std::uint8_t* const start = range.start;
        EXPECT_EQ(ScanLineEnd(range), c.result) << c.bytes;
        EXPECT_EQ(range.start, start + (c.result == kScanOk ? 2 : 0)) << c.bytes;
    }
}

TEST(ChunkScan, ChunkDataOnlyWhenWhole) {
    const std::string bytes("he\0lo\r\n", 7);
    ChunkRange range = RangeOf(bytes);
    const std::uint8_t* chunk = nullptr;
    std::uint32_t length = 0;
    EXPECT_EQ(ScanChunkData(range, 8, chunk, length), kScanNeedMore);
    EXPECT_EQ(chunk, nullptr);
    EXPECT_EQ(ScanChunkData(range, 5, chunk, length), kScanOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(chunk), length), std::string("he\0lo", 5));
    EXPECT_EQ(range.end - range.start, 2);
    EXPECT_EQ(ScanChunkData(range, 0, chunk, length), kScanOk);
    EXPECT_EQ(length, 0u);
}

TEST(ChunkScan, TrailerLines) {
    const std::string bytes = "Expires: never\r\nX: 1\r\n\r\nrest";
    ChunkRange range = RangeOf(bytes);
    const std::uint8_t* lineStart = nullptr;
    const std::uint8_t* lineEnd = nullptr;
    ASSERT_EQ(ScanTrailerLine(range, lineStart, lineEnd), kScanOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(lineStart), lineEnd - lineStart),
              "Expires: never");
    ASSERT_EQ(ScanTrailerLine(range, lineStart, lineEnd), kScanOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(lineStart), lineEnd - lineStart), "X: 1");
    EXPECT_EQ(ScanTrailerLine(range, lineStart, lineEnd), kScanTrailerEnd);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(range.start), range.end - range.start),
              "rest");

    const std::string partial = "X: a\rb\r";  // a lone CR is part of the line; CR LF split
    ChunkRange open = RangeOf(partial);
    EXPECT_EQ(ScanTrailerLine(open, lineStart, lineEnd), kScanNeedMore);
    EXPECT_EQ(open.start, RangeOf(partial).start);
    const std::string empty;
    ChunkRange none = RangeOf(empty);
    EXPECT_EQ(ScanTrailerLine(none, lineStart, lineEnd), kScanBad);
}

}  // namespace
