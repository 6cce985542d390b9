// CArchiveBodySource: the upload body handed to the HTTP client piece by piece (its body-source
// send mode): the multipart head, the archive read from its file in 64 KiB blocks, the tail.
// However large the archive, the upload holds one block of it in memory. The source starts
// over at every request head the client hands it, so a redirected request carries the whole
// body again. When the archive cannot be read while the body goes out, the source ends the
// body early: the client then fails the request on the short body, and ArchiveFailed tells
// the caller that the receiver never got the whole archive.
#pragma once

#include <cstdint>
#include <vector>

#include "app/multipart_body.h"
#include "http/request_settings.h"
#include "platform/scratch_file.h"

class CArchiveBodySource {
public:
    static constexpr std::uint32_t kBlockSize = 64 * 1024;

    // body must be composed for archiveSize bytes; body and archive must outlive the request.
    CArchiveBodySource(const CMultipartBody& body, CScratchFile& archive,
                       std::uint64_t archiveSize);

    // Sets the body's length, its content type and this source into the settings, which must
    // not outlive this object.
    void Attach(CRequestSettings& settings);

    bool ArchiveFailed() const { return archiveFailed_; }

private:
    static bool Supply(const std::uint8_t** piece, std::uint32_t* pieceLength,
                       std::uintptr_t source);
    bool Next(const std::uint8_t** piece, std::uint32_t* pieceLength);
    bool IsOwnPiece(const std::uint8_t* piece) const;
    bool NextBlock(const std::uint8_t** piece, std::uint32_t* pieceLength);

    const CMultipartBody& body_;
    CScratchFile& archive_;
    std::uint64_t archiveSize_;
    std::uint64_t archiveLeft_ = 0;
    std::vector<std::uint8_t> block_;
    bool archiveFailed_ = false;
};
