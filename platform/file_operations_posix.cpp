// Delete and rename on POSIX. The in-use refusal comes from the /proc probe; a rename uses
// renameat2 with RENAME_NOREPLACE, or link then unlink on file systems that lack the flag,
// since plain rename() silently replaces its target.
#include "platform/file_operations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/file_errors.h"
#include "platform/file_use_probe.h"
#include "platform/native_path.h"

namespace {

// Resolves path and refuses a file in use, of whatever kind: a FIFO or device another process
// has open, a socket file a process listens on. Links themselves are examined, not what they
// point to: deleting or moving a link leaves its target alone, and a link is never in use.
bool PrepareFree(WideView path, std::string& native) {
    if (!NativePathOf(path, native)) {
        errno = EINVAL;
        return false;
    }
    struct stat status;
    if (lstat(native.c_str(), &status) != 0) {
        return false;
    }
    const bool inUse = S_ISSOCK(status.st_mode)
                           ? IsSocketFileInUse(native)
                           : !S_ISLNK(status.st_mode) && IsFileInUse(-1, native);
    if (inUse) {
        errno = static_cast<int>(kErrorFileInUse);
        return false;
    }
    return true;
}

bool LinkThenUnlink(const std::string& from, const std::string& to) {
    if (linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) != 0) {
        return false;
    }
    if (unlink(from.c_str()) != 0) {
        const int error = errno;
        unlink(to.c_str());
        errno = error;
        return false;
    }
    return true;
}

}  // namespace

bool DeleteFileAt(WideView path) {
    std::string native;
    return PrepareFree(path, native) && unlink(native.c_str()) == 0;
}

bool FileExistsAt(WideView path) {
    std::string native;
    struct stat status;
    return NativePathOf(path, native) && lstat(native.c_str(), &status) == 0;
}

bool RenameFileNoReplace(WideView from, WideView to) {
    std::string nativeFrom;
    std::string nativeTo;
    if (!PrepareFree(from, nativeFrom)) {
        return false;
    }
    if (!NativePathOf(to, nativeTo)) {
        errno = EINVAL;
        return false;
    }
    if (renameat2(AT_FDCWD, nativeFrom.c_str(), AT_FDCWD, nativeTo.c_str(), RENAME_NOREPLACE) ==
        0) {
        return true;
    }
    return (errno == EINVAL || errno == ENOSYS) && LinkThenUnlink(nativeFrom, nativeTo);
}
