// CChunkWorkBuffer: the chunked reader's working storage. Received bytes lie in one heap
// block as the unconsumed range; an incomplete element is carried to the block's start and
// the next read goes behind it. The block starts at 2048 bytes (or exactly the body bytes
// that came with the head, when more) and grows only for a chunk that would not fit, to
// twice that chunk's size, so the chunk and its CR LF fit after a carry.
#pragma once

#include <cstdint>

#include "http/chunk_scan.h"
#include "http/heap_block.h"

class CChunkWorkBuffer {
public:
    static constexpr std::uint32_t kInitialSize = 2048;

    // Takes the block and copies in the body bytes that came with the head, which become the
    // unconsumed range. False when the block cannot be had.
    bool Start(const std::uint8_t* leftover, std::uint32_t count);

    bool HasUnconsumed() const { return range_.start != range_.end; }
    ChunkRange& Unconsumed() { return range_; }

    // Where the next read goes (behind the carried bytes) and how much it may take.
    std::uint8_t* ReadPosition() const { return block_.Data() + carry_; }
    std::uint32_t ReadRoom() const { return static_cast<std::uint32_t>(block_.Size()) - carry_; }
    // A read put count bytes at ReadPosition: the carried and the new bytes are unconsumed.
    void Received(std::uint32_t count);

    // Moves the unconsumed bytes to the block's start so that the next read goes behind them.
    void CarryUnconsumed();

    // Makes room for a chunk of size bytes and its CR LF, keeping the unconsumed range at the
    // same offsets. False when twice the size exceeds 2147483647 or the block is refused.
    bool EnsureRoomForChunk(std::int32_t size);

    std::uint32_t Size() const { return static_cast<std::uint32_t>(block_.Size()); }

private:
    CHeapBlock block_;
    ChunkRange range_{nullptr, nullptr};
    std::uint32_t carry_ = 0;
};
