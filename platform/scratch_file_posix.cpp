// CScratchFile on POSIX: open with O_CREAT | O_EXCL | O_NOFOLLOW, readable by the user alone,
// so nothing that is already at the name (a file, a dangling link) is ever replaced or
// written through. Writes and reads continue past short transfers; a write that moves nothing
// (a full disk) fails with the system's error.
#include "platform/scratch_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/handle_io.h"
#include "platform/native_path.h"

CScratchFile::~CScratchFile() {
    Remove();
}

bool CScratchFile::Fail() {
    lastError_ = static_cast<std::uint32_t>(errno);
    return false;
}

bool CScratchFile::Create(WideView path) {
    Remove();
    std::string native;
    if (!NativePathOf(path, native)) {
        errno = EINVAL;
        return Fail();
    }
    WideString kept(path);
    const int descriptor =
        open(native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (descriptor < 0) {
        return Fail();
    }
    handle_ = descriptor;
    path_ = std::move(kept);
    return true;
}

bool CScratchFile::Write(const void* bytes, std::uint32_t count) {
    if (handle_ < 0) {
        errno = EBADF;
        return Fail();
    }
    const auto* next = static_cast<const unsigned char*>(bytes);
    for (std::uint32_t left = count; left != 0;) {
        const ssize_t wrote = write(static_cast<int>(handle_), next, left);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            if (wrote == 0) {
                errno = ENOSPC;
            }
            return Fail();
        }
        next += wrote;
        left -= static_cast<std::uint32_t>(wrote);
    }
    return true;
}

bool CScratchFile::Read(void* buffer, std::uint32_t capacity, std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (handle_ < 0) {
        errno = EBADF;
        return Fail();
    }
    return ReadFromHandle(handle_, buffer, capacity, bytesRead) || Fail();
}

bool CScratchFile::SetPosition(std::uint64_t position) {
    if (handle_ < 0 || position > static_cast<std::uint64_t>(INT64_MAX)) {
        errno = handle_ < 0 ? EBADF : EINVAL;
        return Fail();
    }
    return lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) >= 0 || Fail();
}

bool CScratchFile::Position(std::uint64_t& position) {
    const off_t at = handle_ < 0 ? -1 : lseek(static_cast<int>(handle_), 0, SEEK_CUR);
    if (at < 0) {
        if (handle_ < 0) {
            errno = EBADF;
        }
        return Fail();
    }
    position = static_cast<std::uint64_t>(at);
    return true;
}

bool CScratchFile::Size(std::uint64_t& size) {
    if (handle_ < 0) {
        errno = EBADF;
        return Fail();
    }
    return SizeOfHandle(handle_, size) || Fail();
}

void CScratchFile::Remove() noexcept {
    if (handle_ < 0) {
        return;
    }
    try {
        std::string native;
        if (NativePathOf(path_, native) && HandleIsNamed(handle_, native)) {
            unlink(native.c_str());
        }
    } catch (...) {
        // Out of memory for the name: the file stays, as after a kill, for the next user.
    }
    close(static_cast<int>(handle_));
    handle_ = -1;
}
