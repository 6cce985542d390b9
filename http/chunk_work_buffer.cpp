// CChunkWorkBuffer: carry, read position and growth of the chunked reader's storage.
#include "http/chunk_work_buffer.h"

#include <cstring>

bool CChunkWorkBuffer::Start(const std::uint8_t* leftover, std::uint32_t count) {
    if (!block_.Allocate(count > kInitialSize ? count : kInitialSize)) {
        return false;
    }
    if (count > 0) {
        std::memcpy(block_.Data(), leftover, count);
    }
    range_ = ChunkRange{block_.Data(), block_.Data() + count};
    carry_ = 0;
    return true;
}

void CChunkWorkBuffer::Received(std::uint32_t count) {
    range_ = ChunkRange{block_.Data(), block_.Data() + carry_ + count};
    carry_ = 0;
}

void CChunkWorkBuffer::CarryUnconsumed() {
    carry_ = static_cast<std::uint32_t>(range_.end - range_.start);
    std::memmove(block_.Data(), range_.start, carry_);
    range_ = ChunkRange{nullptr, nullptr};
}

bool CChunkWorkBuffer::EnsureRoomForChunk(std::int32_t size) {
    if (std::int64_t{size} + 2 <= static_cast<std::int64_t>(block_.Size())) {
        return true;
    }
    const std::int64_t grown = std::int64_t{size} * 2;
    if (grown > 2147483647) {
        return false;
    }
    const std::uint8_t* const base = block_.Data();
    const auto startOffset = range_.start - base;
    const auto endOffset = range_.end - base;
    if (!block_.Resize(static_cast<std::size_t>(grown))) {
        return false;
    }
    range_ = ChunkRange{block_.Data() + startOffset, block_.Data() + endOffset};
    return true;
}
