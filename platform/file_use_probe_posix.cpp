// The in-use probe on Linux: walks /proc/<pid>/fd of every process it may read and compares
// the device and inode of each open descriptor with the file's. Processes of other users
// are not readable without privilege and are skipped; the product runs as the same user as
// the log sender. The check and the operation that follows it are two steps, so a process
// that opens the file in between is not seen.
#include "platform/file_use_probe.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "platform/process_list.h"

namespace {

struct CDirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, CDirCloser>;

// A descriptor name of /proc/<pid>/fd as a number; -1 for anything else.
int DescriptorNumber(const char* name) {
    long value = 0;
    if (*name == '\0') {
        return -1;
    }
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9' || value > 0x7FFFFFF) {
            return -1;
        }
        value = value * 10 + (*name - '0');
    }
    return static_cast<int>(value);
}

bool ProcessHolds(std::uint32_t pid, int skippedDescriptor, std::uint64_t device,
                  std::uint64_t inode) {
    char path[48];
    std::snprintf(path, sizeof path, "/proc/%u/fd", static_cast<unsigned>(pid));
    const int listing = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return false;
    }
    DirHandle dir(fdopendir(listing));
    if (!dir) {
        close(listing);
        return false;
    }
    while (const dirent* entry = readdir(dir.get())) {
        const int descriptor = DescriptorNumber(entry->d_name);
        if (descriptor < 0 || descriptor == skippedDescriptor) {
            continue;
        }
        struct stat target;
        if (fstatat(listing, entry->d_name, &target, 0) == 0 &&
            static_cast<std::uint64_t>(target.st_dev) == device &&
            static_cast<std::uint64_t>(target.st_ino) == inode) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsFileInUse(int descriptor, const std::string& nativePath) {
    struct stat status;
    if ((descriptor >= 0 ? fstat(descriptor, &status) : lstat(nativePath.c_str(), &status)) != 0) {
        return true;
    }
    const auto device = static_cast<std::uint64_t>(status.st_dev);
    const auto inode = static_cast<std::uint64_t>(status.st_ino);
    const int ownDescriptor = descriptor;
    std::vector<std::uint32_t> pids;
    if (!ReadRunningProcessIds(pids)) {
        return true;
    }
    const auto self = static_cast<std::uint32_t>(getpid());
    for (const std::uint32_t pid : pids) {
        if (ProcessHolds(pid, pid == self ? ownDescriptor : -1, device, inode)) {
            return true;
        }
    }
    return false;
}

// /proc/net/unix: a header line, then one socket a line: seven fields, then the bound path,
// which may hold blanks, when there is one.
bool IsSocketFileInUse(const std::string& absolutePath) {
    std::FILE* table = std::fopen("/proc/net/unix", "re");
    if (table == nullptr) {
        return true;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(table, &std::fclose);
    char line[4096 + 256];
    while (std::fgets(line, sizeof line, table) != nullptr) {
        int pathStart = -1;
        std::sscanf(line, "%*s %*s %*s %*s %*s %*s %*s %n", &pathStart);
        if (pathStart < 0) {
            continue;
        }
        std::string path(line + pathStart);
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) {
            path.pop_back();
        }
        if (path == absolutePath) {
            return true;
        }
    }
    return false;
}
