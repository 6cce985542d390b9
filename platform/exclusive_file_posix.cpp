// CExclusiveFile on POSIX. The open is non-blocking so that a FIFO named like a log cannot
// stall the run, it never follows a symbolic link (the link fails to open like a missing file,
// so a file outside the log folder is never read), and only regular files are accepted. Reads
// continue past short transfers (signals, the kernel's per-call cap) until the request is met
// or the file ends. POSIX has no share modes: the in-use probe stands in for them, and the
// object's own descriptor is what makes other runs' probes see the file held. Runs claim a file
// under the folder's lock and with a flock of the file itself, so two runs never both take it
// and a run that merely looks never passes for a holder.
#include "platform/exclusive_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/file_errors.h"
#include "platform/file_use_probe.h"
#include "platform/folder_lock.h"
#include "platform/handle_io.h"
#include "platform/native_path.h"

namespace {

// Open failures that mean nothing of the file's own is at the name: nothing at all, a link
// (O_NOFOLLOW), a socket file (which cannot be opened), or a path through something that is
// not a folder.
bool NamesNoRegularFile(int error) {
    return error == ENOENT || error == ELOOP || error == ENXIO || error == ENOTDIR;
}

}  // namespace

CExclusiveFile::~CExclusiveFile() {
    Close();
}

bool CExclusiveFile::Fail() {
    lastError_ = static_cast<std::uint32_t>(errno);
    return false;
}

bool CExclusiveFile::Open(WideView path) {
    Close();
    foundNoRegularFile_ = false;
    std::string native;
    if (!NativePathOf(path, native)) {
        errno = EINVAL;
        return Fail();
    }
    WideString kept(path);
    const CFolderLock folder(native);
    if (!folder.Acquired()) {
        errno = static_cast<int>(kErrorFileInUse);
        return Fail();
    }
    const int descriptor =
        open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (descriptor < 0) {
        foundNoRegularFile_ = NamesNoRegularFile(errno);
        return Fail();
    }
    handle_ = descriptor;
    if (!Claim(native)) {
        Fail();
        Close();
        return false;
    }
    path_ = std::move(kept);
    return true;
}

// The open file becomes this object's alone: a regular file, not claimed by another run (its
// flock), still the file at the name, and held by no other process. errno says why not.
bool CExclusiveFile::Claim(const std::string& native) {
    const int descriptor = static_cast<int>(handle_);
    struct stat status;
    if (fstat(descriptor, &status) != 0) {
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        foundNoRegularFile_ = true;
        errno = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK && errno != EINVAL) {
        errno = static_cast<int>(kErrorFileInUse);
        return false;
    }
    if (!HandleIsNamed(handle_, native)) {
        return false;
    }
    if (IsFileInUse(descriptor, native)) {
        errno = static_cast<int>(kErrorFileInUse);
        return false;
    }
    return true;
}


bool CExclusiveFile::Read(void* buffer, std::uint32_t capacity, std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (handle_ < 0) {
        errno = EBADF;
        return Fail();
    }
    return ReadFromHandle(handle_, buffer, capacity, bytesRead) || Fail();
}

bool CExclusiveFile::Rewind() {
    if (handle_ < 0) {
        errno = EBADF;
        return Fail();
    }
    return lseek(static_cast<int>(handle_), 0, SEEK_SET) == 0 || Fail();
}

// The name is checked to still be this file (a rename by someone else may have put another
// file there), and nobody but this object may hold it, as for any other deletion.
bool CExclusiveFile::Remove() {
    if (handle_ < 0) {
        errno = EBADF;
        return Fail();
    }
    std::string native;
    bool removed = false;
    if (!NativePathOf(path_, native)) {
        errno = EINVAL;
    } else {
        const CFolderLock folder(native);
        if (!folder.Acquired() || IsFileInUse(static_cast<int>(handle_), native)) {
            errno = static_cast<int>(kErrorFileInUse);
        } else {
            removed = HandleIsNamed(handle_, native) && unlink(native.c_str()) == 0;
        }
    }
    if (!removed) {
        Fail();
    }
    Close();
    return removed;
}

void CExclusiveFile::Close() noexcept {
    if (handle_ >= 0) {
        close(static_cast<int>(handle_));
        handle_ = -1;
    }
}
