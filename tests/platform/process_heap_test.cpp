// The heap under the response storage: blocks of any size including zero, resizing that keeps
// the content (small and large blocks, and across the two), a null block resized into a fresh
// one, and a null block freed as nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/process_heap.h"

namespace {

struct ResizeCase {
    const char* name;
    std::size_t from;
    std::size_t to;
};

TEST(ProcessHeap, ResizingKeepsTheContentUpToTheSmallerSize) {
    const ResizeCase cases[] = {
        {"grow past a page", 4096, 70000},
        {"shrink", 9000, 10},
        {"to zero", 100, 0},
        {"from zero", 0, 300},
        // Large blocks live in mappings of their own on POSIX: into one, within one, out of one.
        {"grow into a large block", 1 << 20, 6 << 20},
        {"grow a large block", 6 << 20, 20 << 20},
        {"shrink a large block", 20 << 20, 5 << 20},
        {"large to small", 6 << 20, 1000},
        {"large from the start", 9 << 20, 9 << 20},
    };
    const CProcessHeap heap;
    for (const auto& c : cases) {
        std::string pattern(c.from, '\0');
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            pattern[i] = static_cast<char>(i * 31 + 7);
        }
        void* block = heap.Allocate(c.from);
        ASSERT_NE(block, nullptr) << c.name;
        std::memcpy(block, pattern.data(), pattern.size());
        void* resized = heap.Reallocate(block, c.to);
        ASSERT_NE(resized, nullptr) << c.name;
        const std::size_t kept = c.from < c.to ? c.from : c.to;
        EXPECT_EQ(std::string(static_cast<const char*>(resized), kept), pattern.substr(0, kept))
            << c.name;
        std::memset(static_cast<char*>(resized) + kept, 0x11, c.to - kept);  // all of it is ours
        heap.Free(resized);
    }
}

// A large block asked to grow past what any memory holds: refused, the block as it was. (The
// small-block case is the C library's, which the sanitizer build makes abort instead.)
TEST(ProcessHeap, ALargeBlockGrownPastAnyMemoryIsRefusedAndKept) {
    const CProcessHeap heap;
    constexpr std::size_t kFrom = 6 << 20;
    auto* block = static_cast<unsigned char*>(heap.Allocate(kFrom));
    ASSERT_NE(block, nullptr);
    block[kFrom - 1] = 0x42;
    EXPECT_EQ(heap.Reallocate(block, std::numeric_limits<std::size_t>::max() - 8), nullptr);
    EXPECT_EQ(block[kFrom - 1], 0x42);
    heap.Free(block);
}

TEST(ProcessHeap, ManyLargeBlocksAtOnceAreAllUsable) {
    constexpr std::size_t kCount = 80;
    constexpr std::size_t kSize = 4 << 20;
    const CProcessHeap heap;
    std::vector<unsigned char*> blocks;
    for (std::size_t i = 0; i < kCount; ++i) {
        auto* block = static_cast<unsigned char*>(heap.Allocate(kSize));
        ASSERT_NE(block, nullptr) << i;
        block[0] = static_cast<unsigned char>(i);
        block[kSize - 1] = static_cast<unsigned char>(i);
        blocks.push_back(block);
    }
    for (std::size_t i = 0; i < kCount; ++i) {
        EXPECT_EQ(blocks[i][0], static_cast<unsigned char>(i)) << i;
        EXPECT_EQ(blocks[i][kSize - 1], static_cast<unsigned char>(i)) << i;
        heap.Free(blocks[i]);
    }
}

TEST(ProcessHeap, ANullBlockIsAllocatedAfreshAndFreedAsNothing) {
    const CProcessHeap heap;
    void* block = heap.Reallocate(nullptr, 64);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0x5A, 64);
    EXPECT_EQ(static_cast<const unsigned char*>(block)[63], 0x5A);
    heap.Free(block);
    heap.Free(nullptr);
}

}  // namespace
