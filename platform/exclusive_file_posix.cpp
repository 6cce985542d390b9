// CExclusiveFile on POSIX. The open is non-blocking so that a FIFO named like a log cannot
// stall the run, it never follows a symbolic link (the link fails to open like a missing file,
// so a file outside the log folder is never read), and only regular files are accepted. Reads continue past short transfers
// (signals, the kernel's per-call cap) until the request is met or the file ends.
#include "platform/exclusive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/file_errors.h"
#include "platform/file_use_probe.h"
#include "platform/native_path.h"

CExclusiveFile::~CExclusiveFile() {
    Close();
}

bool CExclusiveFile::Fail() {
    lastError_ = static_cast<std::uint32_t>(errno);
    return false;
}

bool CExclusiveFile::Open(WideView path) {
    Close();
    std::string native;
    if (!NativePathOf(path, native)) {
        errno = EINVAL;
        return Fail();
    }
    const int descriptor = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (descriptor < 0) {
        return Fail();
    }
    handle_ = descriptor;
    struct stat status;
    if (fstat(descriptor, &status) != 0) {
        const bool failed = Fail();
        Close();
        return failed;
    }
    if (!S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    } else if (IsFileInUse(descriptor, native)) {
        errno = static_cast<int>(kErrorFileInUse);
    } else {
        return true;
    }
    Fail();
    Close();
    return false;
}

bool CExclusiveFile::Size(std::uint64_t& size) {
    struct stat status;
    if (handle_ < 0) {
        errno = EBADF;
        return Fail();
    }
    if (fstat(static_cast<int>(handle_), &status) != 0) {
        return Fail();
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

bool CExclusiveFile::Read(void* buffer, std::uint32_t capacity, std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (handle_ < 0) {
        errno = EBADF;
        return Fail();
    }
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (bytesRead < capacity) {
        const ssize_t got = read(static_cast<int>(handle_), bytes + bytesRead,
                                 static_cast<std::size_t>(capacity - bytesRead));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Fail();
        }
        if (got == 0) {
            break;
        }
        bytesRead += static_cast<std::uint32_t>(got);
    }
    return true;
}

void CExclusiveFile::Close() noexcept {
    if (handle_ >= 0) {
        close(static_cast<int>(handle_));
        handle_ = -1;
    }
}
