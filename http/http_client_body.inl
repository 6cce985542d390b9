// CHttpClientT response body: a counted body, a body read until the connection ends, or a
// chunked body decoded into place behind the head. Whatever the coding, on success the
// response buffer holds the head followed by bodyLength_ body bytes.
#pragma once

#include <climits>
#include <cstring>

#include "http/heap_block.h"
#include "http/wire_text.h"

template <typename TSocket>
bool CHttpClientT<TSocket>::HasChunkedCoding() const {
    return HeaderEquals(u"Transfer-Encoding", u"chunked");
}

// The Content-Length value read as a decimal number (white space and a sign first, up to
// the first non-digit, clamped to 32 bits); -1 when the header is absent.
template <typename TSocket>
std::int32_t CHttpClientT<TSocket>::DeclaredContentLength() const {
    WideString text;
    if (!HeaderValue(u"Content-Length", text)) {
        return -1;
    }
    std::size_t at = 0;
    while (at < text.size() && text[at] < 0x80 &&
           IsWireWhiteSpace(static_cast<std::uint8_t>(text[at]))) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
        negative = text[at++] == u'-';
    }
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
        value = value * 10 + (text[at] - u'0');
        if (value > INT_MAX) {
            return negative ? INT_MIN : INT_MAX;
        }
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

template <typename TSocket>
bool CHttpClientT<TSocket>::ReceiveCountedBody(std::int32_t contentLength,
                                               std::uint32_t bytesSoFar) {
    if (settings_ == nullptr) {
        return false;
    }
    constexpr std::uint32_t kLocalBlock = 512;
    const std::uint32_t blockSize = settings_->readBlockSize != 0 ? settings_->readBlockSize : 2048;
    std::uint8_t local[kLocalBlock];
    CHeapBlock heap;
    std::uint8_t* block = local;
    if (blockSize > kLocalBlock) {
        if (!heap.Allocate(blockSize)) {
            return false;
        }
        block = heap.Data();
    }
    const bool done = contentLength == -1
                          ? ReadToClose(block, blockSize, bytesSoFar)
                          : ReadCounted(block, blockSize, contentLength, bytesSoFar);
    if (done) {
        bodyLength_ = bytesSoFar;
    }
    return done;
}

// Whole blocks until contentLength bytes are in; the last block may bring more, which is
// kept. Five empty reads in a row mean the peer closed early.
template <typename TSocket>
bool CHttpClientT<TSocket>::ReadCounted(std::uint8_t* block, std::uint32_t blockSize,
                                        std::int32_t contentLength, std::uint32_t& bytesSoFar) {
    while (std::int64_t{bytesSoFar} < contentLength) {
        std::uint32_t size = 0;
        for (int attempt = 0; attempt < 5 && size == 0; ++attempt) {
            if (!ReceiveInto(block, blockSize, size) || !ReportRead(size)) {
                return false;
            }
        }
        if (size == 0 || !AppendReceived(block, size)) {
            return false;
        }
        bytesSoFar += size;
    }
    return true;
}

// Until a read fails (the end of the body, not a failure) or the sixth empty read in a row.
template <typename TSocket>
bool CHttpClientT<TSocket>::ReadToClose(std::uint8_t* block, std::uint32_t blockSize,
                                        std::uint32_t& bytesSoFar) {
    for (int emptyReads = 0;;) {
        std::uint32_t size = 0;
        const bool received = ReceiveInto(block, blockSize, size);
        if (!ReportRead(size)) {
            return false;
        }
        if (!received) {
            return true;
        }
        if (size == 0) {
            if (emptyReads == 5) {
                return true;
            }
            ++emptyReads;
            continue;
        }
        emptyReads = 0;
        if (!AppendReceived(block, size)) {
            return false;
        }
        bytesSoFar += size;
    }
}

// Rebuilds the response as the final head followed by the decoded chunks; an interim 100
// response in front of the head is dropped. Once the buffer has been emptied for the
// rebuild, a failure leaves it empty.
template <typename TSocket>
bool CHttpClientT<TSocket>::ReceiveChunkedBody() {
    CChunkWorkBuffer work;
    CResponseBuffer rebuilt;
    const std::uint32_t bodyOffset = headOffset_ + headLength_;
    if (!rebuilt.Append(response_.Data() + headOffset_, headLength_) ||
        !work.Start(response_.Data() + bodyOffset, response_.Length() - bodyOffset)) {
        return false;
    }
    response_.Clear();
    dataEnd_ = response_.Data();
    bodyLength_ = 0;
    headOffset_ = 0;
    if (!DecodeChunks(work, rebuilt) || !AppendReceived(rebuilt.Data(), rebuilt.Length())) {
        return false;
    }
    return true;
}

// The chunked coding's state machine. After the last chunk it always reads the trailer
// section through its blank line, so a kept connection is left at the next response; the
// trailer lines are filed only when the head announced them with "Trailer". Each read is
// reported to readProgress like the other readers' reads, so that a caller who bounds its
// response through the callback bounds a chunked one too.
template <typename TSocket>
bool CHttpClientT<TSocket>::DecodeChunks(CChunkWorkBuffer& work, CResponseBuffer& rebuilt) {
    std::uint32_t trailerSize = 0;
    const bool trailersAnnounced = CopyHeaderValue(u"Trailer", nullptr, &trailerSize);
    ChunkReadState state = kChunkSizeLine;
    std::int32_t chunkSize = 0;
    for (;;) {
        if (!work.HasUnconsumed()) {
            std::uint32_t size = 0;
            if (work.ReadRoom() == 0 || !ReceiveInto(work.ReadPosition(), work.ReadRoom(), size) ||
                !ReportRead(size) || size == 0) {
                return false;
            }
            work.Received(size);
        }
        ChunkRange& range = work.Unconsumed();
        ChunkScanResult scan = kScanBad;
        switch (state) {
            case kChunkSizeLine:
                scan = ScanChunkSize(range, chunkSize);
                if (scan == kScanOk) {
                    if (chunkSize != 0 && !work.EnsureRoomForChunk(chunkSize)) {
                        return false;
                    }
                    state = chunkSize == 0 ? kChunkLast : kChunkSizeLineEnd;
                }
                break;
            case kChunkSizeLineEnd:
            case kChunkDataEnd:
            case kChunkLast:
                scan = ScanLineEnd(range);
                if (scan == kScanOk) {
                    state = state == kChunkSizeLineEnd ? kChunkData
                            : state == kChunkDataEnd   ? kChunkSizeLine
                                                       : kChunkTrailer;
                }
                break;
            case kChunkData: {
                const std::uint8_t* chunk = nullptr;
                std::uint32_t length = 0;
                scan = ScanChunkData(range, chunkSize, chunk, length);
                if (scan == kScanOk) {
                    if (!rebuilt.Append(chunk, length)) {
                        return false;
                    }
                    bodyLength_ += length;
                    state = kChunkDataEnd;
                }
                break;
            }
            case kChunkTrailer: {
                const std::uint8_t* lineStart = nullptr;
                const std::uint8_t* lineEnd = nullptr;
                scan = ScanTrailerLine(range, lineStart, lineEnd);
                if (scan == kScanTrailerEnd) {
                    return true;
                }
                if (scan == kScanOk && trailersAnnounced) {
                    StoreHeaderLine(lineStart, lineEnd);
                }
                break;
            }
        }
        if (scan == kScanNeedMore) {
            work.CarryUnconsumed();
        } else if (scan != kScanOk) {
            return false;
        }
    }
}
