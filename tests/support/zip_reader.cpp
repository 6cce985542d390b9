// The archive reader over minizip's unzip half and zlib's CRC-32.
#include "tests/support/zip_reader.h"

#include <minizip/unzip.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <memory>

#include "tests/support/temp_folder.h"

namespace {

struct CUnzipCloser {
    void operator()(void* archive) const { unzClose(archive); }
};

bool ReadCurrent(unzFile archive, CZipEntry& entry) {
    unz_file_info info{};
    char name[1024];
    if (unzGetCurrentFileInfo(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
        return false;
    }
    entry.name = name;
    entry.method = static_cast<int>(info.compression_method);
    entry.dosDateTime = static_cast<std::uint32_t>(info.dosDate);
    entry.crc = static_cast<std::uint32_t>(info.crc);
    if (unzOpenCurrentFile(archive) != UNZ_OK) {
        return false;
    }
    char buffer[65536];
    int got = 0;
    while ((got = unzReadCurrentFile(archive, buffer, sizeof buffer)) > 0) {
        entry.bytes.append(buffer, static_cast<std::size_t>(got));
    }
    const bool closed = unzCloseCurrentFile(archive) == UNZ_OK;
    const uLong computed =
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(entry.bytes.data()),
              static_cast<uInt>(entry.bytes.size()));
    entry.crcMatches = computed == info.crc;
    return got == 0 && closed;
}

// minizip's reader refuses an archive without entries, which is a lone end-of-central-
// directory record: 22 bytes, signature PK 5 6, every count, size and offset zero.
bool IsEmptyArchive(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes == std::string("PK\x05\x06", 4) + std::string(18, '\0');
}

}  // namespace

bool ReadZipEntries(const std::string& path, std::vector<CZipEntry>& entries) {
    entries.clear();
    std::unique_ptr<void, CUnzipCloser> archive(unzOpen(path.c_str()));
    if (!archive) {
        return IsEmptyArchive(path);
    }
    unz_global_info global{};
    if (unzGetGlobalInfo(archive.get(), &global) != UNZ_OK) {
        return false;
    }
    if (global.number_entry == 0) {
        return true;
    }
    int step = unzGoToFirstFile(archive.get());
    while (step == UNZ_OK) {
        entries.emplace_back();
        if (!ReadCurrent(archive.get(), entries.back())) {
            return false;
        }
        step = unzGoToNextFile(archive.get());
    }
    return step == UNZ_END_OF_LIST_OF_FILE;
}

bool ReadZipBytes(const std::string& archive, std::vector<CZipEntry>& entries) {
    const CTempFolder folder;
    return ReadZipEntries(folder.Write("posted.zip", archive).string(), entries);
}
