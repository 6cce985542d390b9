// The handle helpers on POSIX: read(2) repeated after EINTR and short transfers, fstat, and the
// name compared by device and inode with lstat.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/handle_io.h"

bool ReadFromHandle(std::intptr_t handle, void* buffer, std::uint32_t capacity,
                    std::uint32_t& bytesRead) {
    bytesRead = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (bytesRead < capacity) {
        const ssize_t got = read(static_cast<int>(handle), bytes + bytesRead,
                                 static_cast<std::size_t>(capacity - bytesRead));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        bytesRead += static_cast<std::uint32_t>(got);
    }
    return true;
}

bool SizeOfHandle(std::intptr_t handle, std::uint64_t& size) {
    struct stat status;
    if (fstat(static_cast<int>(handle), &status) != 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

bool HandleIsNamed(std::intptr_t handle, const std::string& nativePath) {
    struct stat held;
    struct stat named;
    if (fstat(static_cast<int>(handle), &held) != 0 || lstat(nativePath.c_str(), &named) != 0 ||
        held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
        errno = ENOENT;
        return false;
    }
    return true;
}
