// The archive entry: method 8 at level -1 with an all-zero zip_fileinfo, from which minizip
// stores DOS date 32 and time 0, no extra fields, no comment; the file goes in 8192-byte
// reads.
#include "app/add_file_to_archive.h"

#include <array>
#include <cstdint>
#include <string>

#include "platform/file_name_text.h"
#include "platform/text_conversion.h"

namespace {

constexpr std::uint32_t kReadBufferSize = 8192;

// The entry is named with the file's own bytes where the platform's names are bytes, so a
// name that is not valid text still comes out of the archive as the file it was.
std::string EntryNameOf(WideView fileName) {
    std::string name;
    return FileNameToNarrow(fileName, name) ? name : WideToNarrow(fileName);
}

bool CopyFileIntoEntry(zipFile archive, CExclusiveFile& file) {
    std::array<unsigned char, kReadBufferSize> buffer;
    for (;;) {
        std::uint32_t got = 0;
        if (!file.Read(buffer.data(), kReadBufferSize, got)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (zipWriteInFileInZip(archive, buffer.data(), got) != ZIP_OK) {
            return false;
        }
    }
}

}  // namespace

bool AddFileToArchive(zipFile archive, CExclusiveFile& file, WideView fileName) {
    if (!file.Rewind()) {
        return false;
    }
    const std::string entryName = EntryNameOf(fileName);
    zip_fileinfo info{};
    if (zipOpenNewFileInZip(archive, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, Z_DEFAULT_COMPRESSION) != ZIP_OK) {
        return false;
    }
    const bool copied = CopyFileIntoEntry(archive, file);
    return zipCloseFileInZip(archive) == ZIP_OK && copied;
}
