// CChunkWorkBuffer: the starting size, carrying an incomplete element to the front, and the
// growth for a chunk that would not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "http/chunk_work_buffer.h"

namespace {

std::string Unconsumed(CChunkWorkBuffer& work) {
    const ChunkRange& range = work.Unconsumed();
    return std::string(reinterpret_cast<const char*>(range.start), range.end - range.start);
}

const std::uint8_t* Bytes(const std::string& text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

TEST(ChunkWorkBuffer, StartSizes) {
    const struct {
        std::uint32_t leftover;
        std::uint32_t size;
    } cases[] = {{0, 2048}, {100, 2048}, {2048, 2048}, {2049, 2049}, {3000, 3000}};
    for (const auto& c : cases) {
        const std::string leftover(c.leftover, 'x');
        CChunkWorkBuffer work;
        ASSERT_TRUE(work.Start(Bytes(leftover), c.leftover));
        EXPECT_EQ(work.Size(), c.size) << c.leftover;
        EXPECT_EQ(work.HasUnconsumed(), c.leftover > 0);
        if (c.leftover > 0) {
            EXPECT_EQ(Unconsumed(work), leftover);
        }
        EXPECT_EQ(work.ReadRoom(), c.size);
    }
}

TEST(ChunkWorkBuffer, CarryMovesTheTailToTheFrontAndReadsGoBehindIt) {
    const std::string leftover = "5\r\nhel";
    CChunkWorkBuffer work;
    ASSERT_TRUE(work.Start(Bytes(leftover), 6));
    work.Unconsumed().start += 3;  // the size line was taken
    work.CarryUnconsumed();
    EXPECT_FALSE(work.HasUnconsumed());
    EXPECT_EQ(work.ReadRoom(), 2048u - 3);
    std::memcpy(work.ReadPosition(), "lo\r\n", 4);
    work.Received(4);
    EXPECT_EQ(Unconsumed(work), "hello\r\n");
}

TEST(ChunkWorkBuffer, GrowsToTwiceAChunkThatDoesNotFit) {
    const std::string leftover = "7ff\r\nab";
    CChunkWorkBuffer work;
    ASSERT_TRUE(work.Start(Bytes(leftover), 7));
    work.Unconsumed().start += 3;
    EXPECT_TRUE(work.EnsureRoomForChunk(2046));  // 2046 + 2 fits in 2048
    EXPECT_EQ(work.Size(), 2048u);
    EXPECT_TRUE(work.EnsureRoomForChunk(2047));
    EXPECT_EQ(work.Size(), 4094u);
    EXPECT_EQ(Unconsumed(work), "\r\nab");              // same bytes at the same offsets
    EXPECT_FALSE(work.EnsureRoomForChunk(1073741824));  // twice it exceeds 2147483647
    EXPECT_EQ(work.Size(), 4094u);
}

}  // namespace
