// CHeapBlock: malloc-family storage that never throws.
#include "http/heap_block.h"

#include <cstdlib>

CHeapBlock::~CHeapBlock() {
    std::free(data_);
}

bool CHeapBlock::Allocate(std::size_t size) noexcept {
    auto* block = static_cast<std::uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (block == nullptr) {
        return false;
    }
    std::free(data_);
    data_ = block;
    size_ = size;
    return true;
}

bool CHeapBlock::Resize(std::size_t size) noexcept {
    auto* block = static_cast<std::uint8_t*>(std::realloc(data_, size == 0 ? 1 : size));
    if (block == nullptr) {
        return false;
    }
    data_ = block;
    size_ = size;
    return true;
}
