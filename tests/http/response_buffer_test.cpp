// CResponseBuffer: the inline area, the growth figures, the zero byte behind the held bytes
// and the refusals that leave the buffer unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "http/response_buffer.h"

namespace {

std::string Held(const CResponseBuffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.Data()), buffer.Length());
}

struct GrowthCase {
    const char* name;
    std::vector<std::uint32_t> appends;  // sizes of successive appends
    std::uint32_t capacity;
    bool inlineArea;
};

TEST(ResponseBuffer, GrowthTable) {
    const GrowthCase cases[] = {
        {"empty", {}, 4096, true},
        {"4095 bytes stay inline", {4095}, 4096, true},
        {"one more byte moves to 8192", {4095, 1}, 8192, false},
        {"5000 at once gets 4096 + 5001", {5000}, 9097, false},
        {"small appends grow by 4096", {4000, 4000, 4000}, 12288, false},
        {"past 12288 growth is half the capacity", {4000, 4000, 4000, 300}, 18432, false},
        {"a large append grows by its own size", {10, 20000}, 24097, false},
        {"an append larger than half the capacity", {4000, 4000, 4000, 300, 10000}, 28433, false},
    };
    for (const auto& c : cases) {
        CResponseBuffer buffer;
        std::string expected;
        char fill = 'a';
        for (const std::uint32_t size : c.appends) {
            const std::string piece(size, fill++);
            ASSERT_TRUE(buffer.Append(piece.data(), size)) << c.name;
            expected += piece;
        }
        EXPECT_EQ(buffer.Capacity(), c.capacity) << c.name;
        EXPECT_EQ(Held(buffer), expected) << c.name;
        EXPECT_EQ(buffer.Data()[buffer.Length()], 0) << c.name;
        const bool inlineArea = buffer.Data() >= reinterpret_cast<const std::uint8_t*>(&buffer) &&
                                buffer.Data() < reinterpret_cast<const std::uint8_t*>(&buffer + 1);
        EXPECT_EQ(inlineArea, c.inlineArea) << c.name;
    }
}

TEST(ResponseBuffer, ClearKeepsStorageAndReleaseReturnsInline) {
    CResponseBuffer buffer;
    const std::string big(9000, 'x');
    ASSERT_TRUE(buffer.Append(big.data(), 9000));
    const std::uint8_t* block = buffer.Data();
    const std::uint32_t capacity = buffer.Capacity();

    buffer.Clear();
    EXPECT_EQ(buffer.Length(), 0u);
    EXPECT_EQ(buffer.Data()[0], 0);
    const std::string refill(capacity - 1, 'y');
    ASSERT_TRUE(buffer.Append(refill.data(), capacity - 1));
    EXPECT_EQ(buffer.Data(), block);
    EXPECT_EQ(buffer.Capacity(), capacity);
    EXPECT_EQ(Held(buffer), refill);

    buffer.Release();
    EXPECT_EQ(buffer.Capacity(), CResponseBuffer::kInlineSize);
    EXPECT_EQ(buffer.Length(), 0u);
    ASSERT_TRUE(buffer.Append("abc", 3));
    EXPECT_EQ(Held(buffer), "abc");
}

TEST(ResponseBuffer, AppendUpToZeroTakesBytesBeforeTheFirstZero) {
    CResponseBuffer buffer;
    const char text[] = "head\0tail";
    ASSERT_TRUE(buffer.Append(text, CResponseBuffer::kUpToZero));
    EXPECT_EQ(Held(buffer), "head");
}

TEST(ResponseBuffer, ZeroBytesInsideTheContentAreKept) {
    CResponseBuffer buffer;
    const char bytes[] = {'a', 0, 'b', 0};
    ASSERT_TRUE(buffer.Append(bytes, 4));
    EXPECT_EQ(Held(buffer), std::string(bytes, 4));
}

TEST(ResponseBuffer, RefusalsLeaveTheBufferUnchanged) {
    CResponseBuffer buffer;
    ASSERT_TRUE(buffer.Append("abc", 3));
    EXPECT_FALSE(buffer.Append(nullptr, 3));
    // 3 + 0xFFFFFFFC + 1 wraps around 32 bits: refused before anything is read.
    EXPECT_FALSE(buffer.Append("x", 0xFFFFFFFCu));
    // Fits 32 bits, but the grown capacity would not: refused as well.
    EXPECT_FALSE(buffer.Append("x", 0xFFFFF000u));
    EXPECT_EQ(Held(buffer), "abc");
    EXPECT_EQ(buffer.Capacity(), CResponseBuffer::kInlineSize);
}

}  // namespace
