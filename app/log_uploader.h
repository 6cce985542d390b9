// CLogUploader: the upload job. A log handed to UploadLog is held, packed into an archive
// beside it, and the archive is posted as multipart/form-data to the upload address, streamed
// from its file; then the archive and the log are deleted whatever the receiver answered, so
// every log is offered once. A log that was never offered stays for a later run: one that is
// held by someone else or cannot be read, one whose archive could not be made whole (a full
// disk, an archive name that cannot be cleared), one whose archive could not be read while it
// went out. A name with no regular file of its own behind it (a link, a FIFO or socket nobody
// holds) is removed, with nothing posted for it. The object holds only the run's proxy chooser,
// which its posts ask for the way to the upload address (none: direct). Exceptions
// (exhausted memory) are not caught here: they end the run, and what was not yet deleted stays.
#pragma once

#include <cstdint>

#include "net/proxy/proxy_chooser.h"
#include "platform/exclusive_file.h"
#include "platform/hresult_exception.h"
#include "platform/scratch_file.h"
#include "platform/wide_text.h"

class CLogUploader {
public:
    // chooser (not owned) outlives the uploader; null connects directly.
    explicit CLogUploader(CProxyChooser* chooser = nullptr) : chooser_(chooser) {}

    // Holds folder/logFileName, archives it, posts the archive, deletes the archive and the log.
    void UploadLog(const WideString& url, const WideString& folder, const WideString& logFileName,
                   const WideString& sessionId);
    // The same for a log the caller already holds in log (opened on folder/logFileName); a
    // log that is not open is opened here. The log is closed when the call returns.
    void UploadLog(const WideString& url, const WideString& folder, const WideString& logFileName,
                   const WideString& sessionId, CExclusiveFile& log);

    // Posts the archive in the scratch file, streamed from it. 0 after a post in which the
    // whole archive went out to the client (whatever the receiver did with it); otherwise the
    // failing file call's error as an HRESULT, 0x80070026 when the file ended early, or
    // 0x800700DF (file too large) when the body would not fit in a request.
    HResult PostArchiveFile(const WideString& url, const WideString& archiveFileName,
                            const WideString& sessionId, CScratchFile& archive);

    // One POST of archiveSize archive bytes from the file, on a client of its own; the outcome
    // of the request is not examined. False when the request could not be made for the archive
    // (its body does not fit in a request) or the archive could not be read while it went out.
    bool PostMultipart(const WideString& url, const WideString& archiveFileName,
                       const WideString& sessionId, CScratchFile& archive,
                       std::uint64_t archiveSize);

private:
    CProxyChooser* chooser_;
};
