// The heap under the response storage: blocks of any size including zero, resizing that keeps
// the content, a null block resized into a fresh one, and a null block freed as nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

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
        heap.Free(resized);
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
