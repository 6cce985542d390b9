// CScratchFile: a new file the program makes for its own work beside a log (the log's archive
// before it is posted), held by this object alone from its creation to its removal. Create
// never replaces anything: where a file (or folder, or link) already is, it fails. Nobody else
// can open the file while the object holds it on Windows; on POSIX the object's descriptor
// makes every in-use check see it held, so another run never clears it away. The destructor
// removes the file, so it never outlives the work it was made for. On Windows the system
// removes it as well when the process ends without doing so (killed); on POSIX such a
// left-over stays until the next user of its name clears it.
#pragma once

#include <cstdint>

#include "platform/wide_text.h"

class CScratchFile {
public:
    CScratchFile() = default;
    ~CScratchFile();
    CScratchFile(const CScratchFile&) = delete;
    CScratchFile& operator=(const CScratchFile&) = delete;

    // Creates the file at path for reading and writing; false when anything is at path, or
    // the file cannot be made. A file the object already holds is removed first.
    bool Create(WideView path);
    // Writes all count bytes at the current position; false when they did not all go (a full
    // disk, an I/O error).
    bool Write(const void* bytes, std::uint32_t count);
    // Reads up to capacity bytes from the current position; bytesRead 0 with true means the
    // end of the file.
    bool Read(void* buffer, std::uint32_t capacity, std::uint32_t& bytesRead);
    bool SetPosition(std::uint64_t position);
    bool Position(std::uint64_t& position);
    bool Size(std::uint64_t& size);
    // Deletes the file and closes it. On POSIX the name is deleted only while it still names
    // this very file.
    void Remove() noexcept;

    bool IsOpen() const { return handle_ >= 0; }
    // Platform error number of the last failure.
    std::uint32_t LastError() const { return lastError_; }

private:
    bool Fail();

    std::intptr_t handle_ = -1;
    std::uint32_t lastError_ = 0;
#ifndef _WIN32
    WideString path_;  // the name Remove deletes; Windows deletes through the handle
#endif
};
