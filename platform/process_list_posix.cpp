// The running processes on Linux: the numeric entries of /proc, read to the end.
#include "platform/process_list.h"

#include <dirent.h>

#include <cerrno>
#include <memory>
#include <new>

namespace {

struct CDirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// A /proc entry name that is a process identifier: digits only, within 32 bits, not 0.
bool ProcessIdOf(const char* name, std::uint32_t& pid) {
    std::uint64_t value = 0;
    if (*name == '\0') {
        return false;
    }
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(*name - '0');
        if (value > 0xFFFFFFFFU) {
            return false;
        }
    }
    pid = static_cast<std::uint32_t>(value);
    return pid != 0;
}

}  // namespace

bool ReadRunningProcessIds(std::vector<std::uint32_t>& ids) try {
    ids.clear();
    std::unique_ptr<DIR, CDirCloser> proc(opendir("/proc"));
    if (!proc) {
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(proc.get());
        if (entry == nullptr) {
            break;
        }
        std::uint32_t pid = 0;
        if (ProcessIdOf(entry->d_name, pid)) {
            ids.push_back(pid);
        }
    }
    if (errno != 0 || ids.empty()) {
        ids.clear();
        return false;
    }
    return true;
} catch (const std::bad_alloc&) {
    ids.clear();
    return false;
}
