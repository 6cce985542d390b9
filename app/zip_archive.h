// CZipArchive: one minizip archive being written into a scratch file the caller holds, through
// minizip's file functions pointed at that file: the archive never opens a file by name, so
// nothing at the archive's name is truncated or followed, and the bytes stay in the file the
// caller then posts from and removes. Every write, seek and position of the archive is
// checked: Close says whether the whole archive reached the file (a full disk, an I/O error
// make it false). The destructor closes an archive still open, so an exception between the two
// never leaks the handle.
#pragma once

#include <minizip/zip.h>

#include "platform/scratch_file.h"

class CZipArchive {
public:
    CZipArchive() = default;
    ~CZipArchive() { Close(); }
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    // Starts a new archive at the start of file, which must outlive this object.
    bool Create(CScratchFile& file);
    // Writes the central directory with no global comment; true when the archive was open and
    // every part of it was written.
    bool Close() noexcept;
    zipFile Handle() const { return archive_; }

private:
    static voidpf ZCALLBACK OpenStream(voidpf opaque, const void* name, int mode);
    static uLong ZCALLBACK ReadStream(voidpf opaque, voidpf stream, void* buffer, uLong size);
    static uLong ZCALLBACK WriteStream(voidpf opaque, voidpf stream, const void* bytes, uLong size);
    static ZPOS64_T ZCALLBACK TellStream(voidpf opaque, voidpf stream);
    static long ZCALLBACK SeekStream(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin);
    static int ZCALLBACK CloseStream(voidpf opaque, voidpf stream);
    static int ZCALLBACK StreamError(voidpf opaque, voidpf stream);

    zipFile archive_ = nullptr;
    CScratchFile* file_ = nullptr;
    bool failed_ = false;
};
