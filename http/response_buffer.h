// CResponseBuffer: the raw bytes of a response as they come off the wire. Up to 4095 bytes
// live in an area inside the object; beyond that the content moves to a heap block that
// grows by at least 4096 bytes, and by half its size once that is more. Blocks come from the
// process heap, taken when the buffer is made. A zero byte always follows the held bytes, so
// byte scans may rely on it. The storage never shrinks until Release.
#pragma once

#include <cstdint>

#include "platform/process_heap.h"

class CResponseBuffer {
public:
    static constexpr std::uint32_t kInlineSize = 4096;
    // Count for Append meaning "every byte up to the first zero byte".
    static constexpr std::uint32_t kUpToZero = 0xFFFFFFFFu;

    CResponseBuffer() noexcept;
    ~CResponseBuffer();
    CResponseBuffer(const CResponseBuffer&) = delete;
    CResponseBuffer& operator=(const CResponseBuffer&) = delete;

    // Adds count bytes behind the held ones. False for a null source, a size that does not
    // fit 32 bits or a refused heap block; the buffer is then left as it was.
    bool Append(const void* bytes, std::uint32_t count) noexcept;
    // Length 0, first byte 0, storage kept.
    void Clear() noexcept;
    // Frees the heap block, if any, and returns to the inline area.
    void Release() noexcept;

    const std::uint8_t* Data() const noexcept { return data_; }
    std::uint32_t Length() const noexcept { return length_; }
    std::uint32_t Capacity() const noexcept { return capacity_; }

private:
    bool Grow(std::uint32_t count) noexcept;

    CProcessHeap heap_;
    std::uint8_t* data_;
    std::uint32_t length_ = 0;
    std::uint32_t capacity_ = kInlineSize;
    std::uint8_t inline_[kInlineSize];
};
