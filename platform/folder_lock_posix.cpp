// CFolderLock: flock(LOCK_EX | LOCK_NB) on the folder, tried again at a short pace until the
// deadline; a blocking flock could not be bounded.
#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

std::string FolderOf(const std::string& nativePath) {
    const auto slash = nativePath.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : nativePath.substr(0, slash);
}

}  // namespace

CFolderLock::CFolderLock(const std::string& nativePath) {
    const int folder = open(FolderOf(nativePath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    auto pause = std::chrono::microseconds(200);
    while (flock(folder, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        // A file system without locks is used as it is, as it was before any run locked.
        if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            timedOut_ = error == EWOULDBLOCK;
            close(folder);
            return;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(10000));
    }
    descriptor_ = folder;
}

CFolderLock::~CFolderLock() {
    if (descriptor_ >= 0) {
        close(descriptor_);
    }
}
