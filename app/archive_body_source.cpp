// CArchiveBodySource: which piece comes next is told by the piece written last. A piece that
// is none of the source's own is a request head, so the body starts over from the multipart
// head; after the head come the archive's blocks until its size is used up, then the tail,
// then nothing.
#include "app/archive_body_source.h"

#include <algorithm>

namespace {

const std::uint8_t* BytesOf(const std::string& text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

}  // namespace

CArchiveBodySource::CArchiveBodySource(const CMultipartBody& body, CScratchFile& archive,
                                       std::uint64_t archiveSize)
    : body_(body), archive_(archive), archiveSize_(archiveSize), block_(kBlockSize) {}

void CArchiveBodySource::Attach(CRequestSettings& settings) {
    settings.AssignPostData(nullptr, body_.Size(), body_.ContentType());
    settings.flags |= kRequestBodyFromSource | kRequestBodySourceRestarts;
    settings.bodySource = &Supply;
    settings.bodySourceValue = reinterpret_cast<std::uintptr_t>(this);
}

bool CArchiveBodySource::Supply(const std::uint8_t** piece, std::uint32_t* pieceLength,
                                std::uintptr_t source) {
    return reinterpret_cast<CArchiveBodySource*>(source)->Next(piece, pieceLength);
}

bool CArchiveBodySource::IsOwnPiece(const std::uint8_t* piece) const {
    return piece == BytesOf(body_.Head()) || piece == block_.data() ||
           piece == BytesOf(body_.Tail());
}

bool CArchiveBodySource::Next(const std::uint8_t** piece, std::uint32_t* pieceLength) {
    if (!IsOwnPiece(*piece)) {
        archiveLeft_ = archiveSize_;
        if (!archive_.SetPosition(0)) {
            archiveFailed_ = true;
            return false;
        }
        *piece = BytesOf(body_.Head());
        *pieceLength = body_.HeadLength();
        return true;
    }
    if (*piece == BytesOf(body_.Tail())) {
        return false;
    }
    if (archiveLeft_ != 0) {
        return NextBlock(piece, pieceLength);
    }
    *piece = BytesOf(body_.Tail());
    *pieceLength = static_cast<std::uint32_t>(body_.Tail().size());
    return true;
}

// A read that fails, or a file that ends before its size, ends the body short.
bool CArchiveBodySource::NextBlock(const std::uint8_t** piece, std::uint32_t* pieceLength) {
    const auto wanted =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(archiveLeft_, kBlockSize));
    std::uint32_t got = 0;
    if (!archive_.Read(block_.data(), wanted, got) || got != wanted) {
        archiveFailed_ = true;
        return false;
    }
    archiveLeft_ -= got;
    *piece = block_.data();
    *pieceLength = got;
    return true;
}
