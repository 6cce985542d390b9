// The upload job: hold, archive, post, delete. The archive is deleted before its log, so an
// archive left behind by a killed run never holds the only copy of anything. Deletions and the
// post's outcome are not reported: a log is offered once, and nothing is ever reported.
#include "app/log_uploader.h"

#include "app/add_file_to_archive.h"
#include "app/archive_name.h"
#include "app/multipart_body.h"
#include "app/zip_archive.h"
#include "platform/file_errors.h"
#include "platform/file_operations.h"
#include "platform/path_join.h"

namespace {

// ERROR_HANDLE_EOF: the file ended before the bytes its size promised.
constexpr HResult kShortRead = static_cast<HResult>(0x80070026U);

// Makes folder/archiveName in archive, holding the whole log. A file left at that name by a
// run that was killed is cleared first; one that somebody holds (a run packing it now) is not,
// and then no archive is made.
bool PackLog(const WideString& folder, const WideString& archiveName, CExclusiveFile& log,
             const WideString& logFileName, CScratchFile& archive) {
    const WideString archivePath = JoinPath(folder, archiveName);
    DeleteFileAt(archivePath);
    if (!archive.Create(archivePath)) {
        return false;
    }
    CZipArchive zip;
    if (!zip.Create(archive)) {
        return false;
    }
    const bool added = AddFileToArchive(zip.Handle(), log, logFileName);
    return zip.Close() && added;
}

}  // namespace

void CLogUploader::UploadLog(const WideString& url, const WideString& folder,
                             const WideString& logFileName, const WideString& sessionId) {
    CExclusiveFile log;
    UploadLog(url, folder, logFileName, sessionId, log);
}

void CLogUploader::UploadLog(const WideString& url, const WideString& folder,
                             const WideString& logFileName, const WideString& sessionId,
                             CExclusiveFile& log) {
    const WideString logPath = JoinPath(folder, logFileName);
    if (!log.IsOpen() && !log.Open(logPath)) {
        if (log.FoundNoRegularFile()) {
            DeleteFileAt(logPath);
        }
        return;
    }
    const WideString archiveName = ArchiveNameOf(logFileName);
    CScratchFile archive;
    const bool posted = PackLog(folder, archiveName, log, logFileName, archive) &&
                        PostArchiveFile(url, archiveName, sessionId, archive) == kHresultOk;
    archive.Remove();
    if (posted) {
        log.Remove();
    }
    log.Close();
}

HResult CLogUploader::PostArchiveFile(const WideString& url, const WideString& archiveFileName,
                                      const WideString& sessionId, CScratchFile& archive) {
    std::uint64_t size = 0;
    if (!archive.Size(size)) {
        return HresultFromError(archive.LastError());
    }
    if (!CMultipartBody().Compose(archiveFileName, sessionId, size)) {
        return HresultFromError(kErrorFileTooLarge);
    }
    if (!PostMultipart(url, archiveFileName, sessionId, archive, size)) {
        return archive.LastError() != 0 ? HresultFromError(archive.LastError()) : kShortRead;
    }
    return kHresultOk;
}
