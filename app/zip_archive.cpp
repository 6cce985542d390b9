// CZipArchive over minizip's stdio file functions, except for the open: minizip's own open
// takes an 8-bit path, which on Windows is the ANSI code page and cannot name every file (a
// character the code page lacks would open another file or none). The open is replaced by one
// that takes the UTF-16 path, handed through minizip untouched as its opaque path argument.
#include "app/zip_archive.h"

#include <minizip/ioapi.h>

#include "platform/file_stream.h"

namespace {

// minizip's open modes as stdio modes: create truncates, existing updates in place.
const char* StreamMode(int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ) {
        return "rb";
    }
    return (mode & ZLIB_FILEFUNC_MODE_EXISTING) != 0 ? "r+b" : "wb";
}

voidpf ZCALLBACK OpenWideStream(voidpf, const void* path, int mode) {
    return OpenFileStream(*static_cast<const WideView*>(path), StreamMode(mode));
}

}  // namespace

bool CZipArchive::Create(WideView path) {
    Close();
    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    functions.zopen64_file = &OpenWideStream;
    archive_ = zipOpen2_64(&path, APPEND_STATUS_CREATE, nullptr, &functions);
    return archive_ != nullptr;
}

void CZipArchive::Close() noexcept {
    if (archive_ != nullptr) {
        zipClose(archive_, nullptr);
        archive_ = nullptr;
    }
}
