// CZipArchive over the scratch file: minizip's stream is this object, and each of its file
// functions goes to the file, remembering any failure, so that one lost write anywhere in the
// archive makes Close false even where minizip itself would not notice.
#include "app/zip_archive.h"

#include <limits>

namespace {

CZipArchive* ArchiveOf(voidpf stream) {
    return static_cast<CZipArchive*>(stream);
}

}  // namespace

voidpf ZCALLBACK CZipArchive::OpenStream(voidpf opaque, const void*, int) {
    return opaque;
}

uLong ZCALLBACK CZipArchive::ReadStream(voidpf, voidpf stream, void* buffer, uLong size) {
    CZipArchive* self = ArchiveOf(stream);
    std::uint32_t got = 0;
    if (size > std::numeric_limits<std::uint32_t>::max() ||
        !self->file_->Read(buffer, static_cast<std::uint32_t>(size), got)) {
        self->failed_ = true;
        return 0;
    }
    return got;
}

uLong ZCALLBACK CZipArchive::WriteStream(voidpf, voidpf stream, const void* bytes, uLong size) {
    CZipArchive* self = ArchiveOf(stream);
    if (size > std::numeric_limits<std::uint32_t>::max() ||
        !self->file_->Write(bytes, static_cast<std::uint32_t>(size))) {
        self->failed_ = true;
        return 0;
    }
    return size;
}

ZPOS64_T ZCALLBACK CZipArchive::TellStream(voidpf, voidpf stream) {
    CZipArchive* self = ArchiveOf(stream);
    std::uint64_t position = 0;
    if (!self->file_->Position(position)) {
        self->failed_ = true;
        return static_cast<ZPOS64_T>(-1);
    }
    return position;
}

long ZCALLBACK CZipArchive::SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    CZipArchive* self = ArchiveOf(stream);
    std::uint64_t base = 0;
    bool known = true;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        known = self->file_->Position(base);
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
        known = self->file_->Size(base);
    } else if (origin != ZLIB_FILEFUNC_SEEK_SET) {
        known = false;
    }
    if (!known || offset > std::numeric_limits<std::uint64_t>::max() - base ||
        !self->file_->SetPosition(base + offset)) {
        self->failed_ = true;
        return -1;
    }
    return 0;
}

// The file stays open: it belongs to the caller, who posts from it next.
int ZCALLBACK CZipArchive::CloseStream(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK CZipArchive::StreamError(voidpf, voidpf stream) {
    return ArchiveOf(stream)->failed_ ? 1 : 0;
}

bool CZipArchive::Create(CScratchFile& file) {
    Close();
    file_ = &file;
    failed_ = false;
    zlib_filefunc64_def functions{};
    functions.zopen64_file = &OpenStream;
    functions.zread_file = &ReadStream;
    functions.zwrite_file = &WriteStream;
    functions.ztell64_file = &TellStream;
    functions.zseek64_file = &SeekStream;
    functions.zclose_file = &CloseStream;
    functions.zerror_file = &StreamError;
    functions.opaque = this;
    archive_ = zipOpen2_64(&file, APPEND_STATUS_CREATE, nullptr, &functions);
    return archive_ != nullptr;
}

bool CZipArchive::Close() noexcept {
    if (archive_ == nullptr) {
        return false;
    }
    const bool closed = zipClose(archive_, nullptr) == ZIP_OK;
    archive_ = nullptr;
    return closed && !failed_;
}
