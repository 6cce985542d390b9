// CZipArchive over minizip's default stdio file functions; the path goes to them in the
// platform's native narrow file-name encoding.
#include "app/zip_archive.h"

#include <string>

#include "platform/native_path.h"

bool CZipArchive::Create(WideView path) {
    Close();
    std::string native;
    if (!NativePathOf(path, native)) {
        return false;
    }
    archive_ = zipOpen(native.c_str(), APPEND_STATUS_CREATE);
    return archive_ != nullptr;
}

void CZipArchive::Close() noexcept {
    if (archive_ != nullptr) {
        zipClose(archive_, nullptr);
        archive_ = nullptr;
    }
}
