// CExclusiveFile: an existing regular file opened for reading by this object alone. The open
// is refused when any other opener holds the file, this process's other handles included,
// so a log in use is never read and an archive is never read while it is being written. A
// name that is a symbolic link (a reparse point on Windows) is refused, never followed: only
// the folder's own files are read.
// While the object holds the file, it is held for everyone else too: on Windows nobody else
// may open, move or delete it; on POSIX every other process's in-use check sees it held. So a
// log that one run is working on is never taken by another run, and the run removes it
// through this object (Remove), never by a second open of its own.
// The handle is closed by Close, Remove or the destructor.
#pragma once

#include <cstdint>
#include <string>
#include "platform/wide_text.h"

class CExclusiveFile {
public:
    CExclusiveFile() = default;
    ~CExclusiveFile();
    CExclusiveFile(const CExclusiveFile&) = delete;
    CExclusiveFile& operator=(const CExclusiveFile&) = delete;

    // Opens the file at path; false when it is missing, a link, not a regular file, in use, or
    // the open fails. A file that is already open is closed first.
    bool Open(WideView path);
    // Reads up to capacity bytes, as many as the file still holds; bytesRead 0 with true
    // means the end of the file.
    bool Read(void* buffer, std::uint32_t capacity, std::uint32_t& bytesRead);
    // Moves the read position back to the start of the file.
    bool Rewind();
    // Deletes the file this object holds, then closes it. The name is removed only while it
    // still names this very file and nobody else holds it; false (and closed) otherwise.
    bool Remove();
    void Close() noexcept;

    bool IsOpen() const { return handle_ >= 0; }
    // Platform error number of the last failure (kErrorFileInUse for a file in use).
    std::uint32_t LastError() const { return lastError_; }
    // Whether the last Open failed because no regular file of its own is at the path: nothing
    // at all, a symbolic link, or a file of another kind (a folder, a FIFO, a socket, a
    // device). A file that is in use, or that may not be read, is not such a case.
    bool FoundNoRegularFile() const { return foundNoRegularFile_; }

private:
    bool Fail();
#ifndef _WIN32
    bool Claim(const std::string& native);
#endif

    std::intptr_t handle_ = -1;
    std::uint32_t lastError_ = 0;
    bool foundNoRegularFile_ = false;
    WideString path_;  // the name the open file was found under, which Remove deletes
};
