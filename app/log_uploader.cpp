// The upload job: archive, load, post, delete. Deletions and the post's outcome are ignored
// by design: a log is offered once, and nothing is ever reported.
#include "app/log_uploader.h"

#include <limits>
#include <memory>
#include <new>

#include "app/add_file_to_archive.h"
#include "app/archive_name.h"
#include "app/zip_archive.h"
#include "platform/exclusive_file.h"
#include "platform/file_errors.h"
#include "platform/file_operations.h"
#include "platform/path_join.h"

namespace {

// ERROR_HANDLE_EOF: the file ended before the bytes its size promised.
constexpr HResult kShortRead = static_cast<HResult>(0x80070026U);

}  // namespace

void CLogUploader::UploadLog(const WideString& url, const WideString& folder,
                             const WideString& logFileName, const WideString& sessionId) {
    const WideString archiveName = ArchiveNameOf(logFileName);
    const WideString archivePath = JoinPath(folder, archiveName);
    DeleteFileAt(archivePath);
    CZipArchive archive;
    std::uint32_t openError = 0;
    // Whatever the deletion could not remove (a file in use) must not be truncated either.
    if (!FileExistsAt(archivePath) && archive.Create(archivePath)) {
        openError = AddFileToArchive(archive.Handle(), folder, logFileName);
        archive.Close();
        PostArchiveFile(url, folder, archiveName, sessionId);
    }
    DeleteFileAt(archivePath);
    // A log that is there but could not be read has not been offered: deleting it would lose
    // it unseen, so it stays for a run that can read it.
    if (openError != kErrorAccessDenied && openError != kErrorFileInUse) {
        DeleteFileAt(JoinPath(folder, logFileName));
    }
}

HResult CLogUploader::PostArchiveFile(const WideString& url, const WideString& folder,
                                      const WideString& archiveFileName,
                                      const WideString& sessionId) {
    const WideString archivePath = JoinPath(folder, archiveFileName);
    CExclusiveFile file;
    if (!file.Open(archivePath)) {
        return HresultFromError(file.LastError());
    }
    std::uint64_t size = 0;
    HResult status = kHresultOk;
    if (!file.Size(size)) {
        status = HresultFromError(file.LastError());
    } else if (size > std::numeric_limits<std::uint32_t>::max()) {
        // Loading only the low 32 bits of the size would post a cut-off archive.
        status = HresultFromError(kErrorFileTooLarge);
    }
    if (status != kHresultOk) {
        file.Close();
        DeleteFileAt(archivePath);
        return status;
    }
    const auto length = static_cast<std::uint32_t>(size);
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[length]);
    std::uint32_t got = 0;
    if (!block) {
        status = E_OUTOFMEMORY;
    } else if (!file.Read(block.get(), length, got)) {
        status = HresultFromError(file.LastError());
    } else if (got != length) {
        status = kShortRead;
    }
    file.Close();
    if (status == kHresultOk) {
        PostMultipart(url, archiveFileName, sessionId, block.get(), length);
    }
    block.reset();
    DeleteFileAt(archivePath);
    return status;
}
