// CResponseBuffer: growth rule and the zero byte kept behind the held bytes.
#include "http/response_buffer.h"

#include <cstring>

CResponseBuffer::CResponseBuffer() noexcept : data_(inline_) {
    inline_[0] = 0;
}

CResponseBuffer::~CResponseBuffer() {
    Release();
}

bool CResponseBuffer::Append(const void* bytes, std::uint32_t count) noexcept {
    if (bytes == nullptr) {
        return false;
    }
    if (count == kUpToZero) {
        count = static_cast<std::uint32_t>(std::strlen(static_cast<const char*>(bytes)));
    }
    const std::uint64_t needed = std::uint64_t{length_} + count + 1;
    if (needed > 0xFFFFFFFFu) {
        return false;
    }
    if (needed > capacity_ && !Grow(count)) {
        return false;
    }
    std::memcpy(data_ + length_, bytes, count);
    length_ += count;
    data_[length_] = 0;
    return true;
}

// The capacity grows by the largest of 4096, count + 1 and half the current capacity: the
// first steps off the inline area are 4096 or count + 1, and a large body is taken in with
// amortised appends instead of a move of the whole content every few kilobytes. Near the
// 32-bit limit, where half the capacity no longer fits, the step is 4096 or count + 1 again,
// so the half step never refuses what they would take. A capacity that would not fit 32
// bits is refused like a refused block.
bool CResponseBuffer::Grow(std::uint32_t count) noexcept {
    constexpr std::uint64_t kLargest = 0xFFFFFFFFu;
    std::uint64_t step = std::uint64_t{count} + 1;
    if (step < kInlineSize) {
        step = kInlineSize;
    }
    if (step < capacity_ / 2 && std::uint64_t{capacity_} + capacity_ / 2 <= kLargest) {
        step = capacity_ / 2;
    }
    const std::uint64_t capacity = capacity_ + step;
    if (capacity > kLargest) {
        return false;
    }
    std::uint8_t* block = nullptr;
    if (data_ == inline_) {
        block = static_cast<std::uint8_t*>(heap_.Allocate(capacity));
        if (block != nullptr) {
            std::memcpy(block, inline_, length_ + 1);
        }
    } else {
        block = static_cast<std::uint8_t*>(heap_.Reallocate(data_, capacity));
    }
    if (block == nullptr) {
        return false;
    }
    data_ = block;
    capacity_ = static_cast<std::uint32_t>(capacity);
    return true;
}

void CResponseBuffer::Clear() noexcept {
    length_ = 0;
    data_[0] = 0;
}

void CResponseBuffer::Release() noexcept {
    if (data_ != inline_) {
        heap_.Free(data_);
        data_ = inline_;
    }
    capacity_ = kInlineSize;
    length_ = 0;
    inline_[0] = 0;
}
