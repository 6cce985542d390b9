// The archive entry: method 8 at level -1 with an all-zero zip_fileinfo, from which minizip
// stores DOS date 32 and time 0, no extra fields, no comment; the file goes in 8192-byte
// reads. The results of the minizip calls are not examined: the upload goes ahead either way.
#include "app/add_file_to_archive.h"

#include <array>
#include <cstdint>
#include <string>

#include "platform/exclusive_file.h"
#include "platform/file_name_text.h"
#include "platform/path_join.h"
#include "platform/text_conversion.h"

namespace {

constexpr std::uint32_t kReadBufferSize = 8192;

// The entry is named with the file's own bytes where the platform's names are bytes, so a
// name that is not valid text still comes out of the archive as the file it was.
std::string EntryNameOf(WideView fileName) {
    std::string name;
    return FileNameToNarrow(fileName, name) ? name : WideToNarrow(fileName);
}

}  // namespace

std::uint32_t AddFileToArchive(zipFile archive, WideView folder, WideView fileName) {
    CExclusiveFile file;
    if (!file.Open(JoinPath(folder, fileName))) {
        return file.LastError();
    }
    const std::string entryName = EntryNameOf(fileName);
    zip_fileinfo info{};
    zipOpenNewFileInZip(archive, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                        Z_DEFLATED, Z_DEFAULT_COMPRESSION);
    std::array<unsigned char, kReadBufferSize> buffer;
    for (;;) {
        std::uint32_t got = 0;
        const bool read = file.Read(buffer.data(), kReadBufferSize, got);
        if (got != 0) {
            zipWriteInFileInZip(archive, buffer.data(), got);
        }
        if (!read || got == 0) {
            break;
        }
    }
    zipCloseFileInZip(archive);
    return 0;
}
