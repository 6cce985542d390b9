// CHeapBlock: one block of bytes on the process heap, owned and freed by the object.
// Allocation and resizing report a refused block by false instead of throwing, and resizing
// keeps the content up to the smaller size, as the body readers need for their working storage.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/process_heap.h"

class CHeapBlock {
public:
    CHeapBlock() = default;
    ~CHeapBlock();
    CHeapBlock(const CHeapBlock&) = delete;
    CHeapBlock& operator=(const CHeapBlock&) = delete;

    // Takes a block of size bytes (content undefined) in place of the current one.
    bool Allocate(std::size_t size) noexcept;
    // Changes the size, keeping the content; the block may move.
    bool Resize(std::size_t size) noexcept;

    std::uint8_t* Data() const noexcept { return data_; }
    std::size_t Size() const noexcept { return size_; }

private:
    CProcessHeap heap_;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};
