// CExclusiveFile: an existing regular file opened for reading by this object alone. The open
// is refused when any other opener holds the file, this process's other handles included,
// so a log in use is never read and an archive is never read while it is being written. A
// name that is a symbolic link (a reparse point on Windows) is refused, never followed: only
// the folder's own files are read.
// The handle is closed by Close or the destructor.
#pragma once

#include <cstdint>

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
    // Size in bytes of the open file.
    bool Size(std::uint64_t& size);
    // Reads up to capacity bytes, as many as the file still holds; bytesRead 0 with true
    // means the end of the file.
    bool Read(void* buffer, std::uint32_t capacity, std::uint32_t& bytesRead);
    void Close() noexcept;

    bool IsOpen() const { return handle_ >= 0; }
    // Platform error number of the last failure (kErrorFileInUse for a file in use).
    std::uint32_t LastError() const { return lastError_; }

private:
    bool Fail();

    std::intptr_t handle_ = -1;
    std::uint32_t lastError_ = 0;
};
