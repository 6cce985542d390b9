// CHeapBlock: process-heap storage that never throws.
#include "http/heap_block.h"

CHeapBlock::~CHeapBlock() {
    heap_.Free(data_);
}

bool CHeapBlock::Allocate(std::size_t size) noexcept {
    auto* block = static_cast<std::uint8_t*>(heap_.Allocate(size));
    if (block == nullptr) {
        return false;
    }
    heap_.Free(data_);
    data_ = block;
    size_ = size;
    return true;
}

bool CHeapBlock::Resize(std::size_t size) noexcept {
    auto* block = static_cast<std::uint8_t*>(heap_.Reallocate(data_, size));
    if (block == nullptr) {
        return false;
    }
    data_ = block;
    size_ = size;
    return true;
}
