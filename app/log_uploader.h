// CLogUploader: the upload job. A log handed to UploadLog is packed into an archive beside
// it, the archive is loaded whole and posted as multipart/form-data to the upload address,
// and then the archive and the log are deleted whatever the outcome, so every log is offered
// once. Only a log that is there but could not be read (access denied, or in use) is kept:
// its archive, empty, is posted, but the log was never offered. The object holds no state.
// Exceptions (exhausted memory) are not caught here: they end the run, and the deletions that would
// have followed do not happen.
#pragma once

#include <cstdint>

#include "platform/hresult_exception.h"
#include "platform/wide_text.h"

class CLogUploader {
public:
    // Archives folder/logFileName, posts the archive, deletes the archive and the log.
    void UploadLog(const WideString& url, const WideString& folder, const WideString& logFileName,
                   const WideString& sessionId);

    // Loads folder/archiveFileName whole and posts it; deletes the archive once it has been
    // opened. 0 after a post; otherwise the failing file call's error as an HRESULT,
    // 0x80070026 for a short read, E_OUTOFMEMORY when the block cannot be allocated.
    HResult PostArchiveFile(const WideString& url, const WideString& folder,
                            const WideString& archiveFileName, const WideString& sessionId);

    // One POST of the archive bytes on a client of its own; the outcome is not examined.
    void PostMultipart(const WideString& url, const WideString& archiveFileName,
                       const WideString& sessionId, const std::uint8_t* data,
                       std::uint32_t dataSize);
};
