// CProcessHeap on POSIX: the C library's heap for ordinary blocks, and for large ones (4 MiB
// and up, a response body being read) a mapping of their own that starts on a huge-page
// boundary and asks for transparent huge pages. Filling a large block then costs one fault per
// 2 MiB instead of one per 4 KiB, and growing it moves its pages to a new aligned place with
// mremap rather than copying them. A zero size asks for one byte, since malloc and realloc may
// answer a zero size with a null pointer that would read as a refusal.
#include "platform/process_heap.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeBlock = std::size_t{4} << 20;
// The mapping's first bytes, before the caller's block; a multiple of the C heap's alignment.
constexpr std::size_t kHeader = 64;
// Large blocks alive at once; past this many, large blocks come from the C heap too.
constexpr std::size_t kSlots = 64;
// Sizes past this are refused before any length is computed from them, so no mapping length
// can wrap round to a small one.
constexpr std::size_t kMaxLargeBlock = std::numeric_limits<std::size_t>::max() / 4;

std::size_t MappingLength(std::size_t size) {
    return (size + kHeader + kHugePage - 1) / kHugePage * kHugePage;
}

// A read-write mapping of length bytes (a multiple of kHugePage) at a huge-page boundary.
char* MapAligned(std::size_t length) {
    void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    const auto rawStart = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t start = (rawStart + kHugePage - 1) & ~(kHugePage - 1);
    if (start > rawStart) {
        munmap(raw, start - rawStart);
    }
    const std::uintptr_t slack = rawStart + kHugePage - start;
    if (slack > 0) {
        munmap(reinterpret_cast<void*>(start + length), slack);
    }
    madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);
    return reinterpret_cast<char*>(start);
}

// The large blocks alive, by the mapping each lives in.
class CLargeBlocks {
public:
    static CLargeBlocks& Instance() {
        static CLargeBlocks blocks;
        return blocks;
    }

    void* Allocate(std::size_t size) {
        if (size > kMaxLargeBlock) {
            return nullptr;
        }
        const std::lock_guard<std::mutex> hold(lock_);
        Slot* slot = Find(nullptr);
        const std::size_t length = MappingLength(size);
        char* base = slot != nullptr ? MapAligned(length) : nullptr;
        if (base == nullptr) {
            return nullptr;
        }
        *slot = {base, length};
        return base + kHeader;
    }

    bool Owns(void* block) {
        const std::lock_guard<std::mutex> hold(lock_);
        return Find(BaseOf(block)) != nullptr;
    }

    // Moves the pages of block to a new aligned mapping for size bytes; null when refused.
    void* Resize(void* block, std::size_t size) {
        if (size > kMaxLargeBlock) {
            return nullptr;
        }
        const std::lock_guard<std::mutex> hold(lock_);
        Slot* slot = Find(BaseOf(block));
        const std::size_t length = MappingLength(size);
        if (length <= slot->length) {
            if (length < slot->length) {
                munmap(slot->base + length, slot->length - length);
                slot->length = length;
            }
            return block;
        }
        char* moved = MapAligned(length);
        if (moved == nullptr) {
            return nullptr;
        }
        if (mremap(slot->base, slot->length, length, MREMAP_MAYMOVE | MREMAP_FIXED, moved) ==
            MAP_FAILED) {
            munmap(moved, length);
            return nullptr;
        }
        *slot = {moved, length};
        return moved + kHeader;
    }

    void Free(void* block) {
        const std::lock_guard<std::mutex> hold(lock_);
        Slot* slot = Find(BaseOf(block));
        munmap(slot->base, slot->length);
        *slot = {};
    }

private:
    struct Slot {
        char* base = nullptr;
        std::size_t length = 0;
    };

    static char* BaseOf(void* block) { return static_cast<char*>(block) - kHeader; }

    Slot* Find(const char* base) {
        for (Slot& slot : slots_) {
            if (slot.base == base) {
                return &slot;
            }
        }
        return nullptr;
    }

    std::mutex lock_;
    Slot slots_[kSlots];
};

// Copies the first keep bytes of block into fresh, a block of the other kind, and frees block.
void* MoveBlock(void* block, void* fresh, std::size_t keep, bool blockIsLarge) {
    if (fresh == nullptr) {
        return nullptr;
    }
    std::memcpy(fresh, block, keep);
    if (blockIsLarge) {
        CLargeBlocks::Instance().Free(block);
    } else {
        std::free(block);
    }
    return fresh;
}

}  // namespace

CProcessHeap::CProcessHeap() noexcept = default;

void* CProcessHeap::Allocate(std::size_t size) const noexcept {
    if (size >= kLargeBlock) {
        if (void* block = CLargeBlocks::Instance().Allocate(size)) {
            return block;
        }
    }
    return std::malloc(size == 0 ? 1 : size);
}

void* CProcessHeap::Reallocate(void* block, std::size_t size) const noexcept {
    if (block == nullptr) {
        return Allocate(size);
    }
    const bool large = CLargeBlocks::Instance().Owns(block);
    if (large && size >= kLargeBlock) {
        return CLargeBlocks::Instance().Resize(block, size);
    }
    if (large) {
        return MoveBlock(block, std::malloc(size == 0 ? 1 : size), size, true);
    }
    if (size >= kLargeBlock) {
        void* fresh = CLargeBlocks::Instance().Allocate(size);
        if (fresh != nullptr) {
            const std::size_t held = malloc_usable_size(block);
            return MoveBlock(block, fresh, held < size ? held : size, false);
        }
    }
    return std::realloc(block, size == 0 ? 1 : size);
}

void CProcessHeap::Free(void* block) const noexcept {
    if (block != nullptr && CLargeBlocks::Instance().Owns(block)) {
        CLargeBlocks::Instance().Free(block);
        return;
    }
    std::free(block);
}
