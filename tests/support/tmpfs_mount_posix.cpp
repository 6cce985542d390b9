// CTmpfsMount: mount(2) of a tmpfs and a lazy unmount, so that a file still open in the test
// cannot keep the mount in place after the object has ended.
#include "tests/support/tmpfs_mount.h"

#include <sys/mount.h>
#include <unistd.h>

#include <system_error>

CTmpfsMount::CTmpfsMount(const std::filesystem::path& path, const std::string& options)
    : path_(path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    mounted_ = geteuid() == 0 &&
               mount("tmpfs", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

CTmpfsMount::~CTmpfsMount() {
    if (mounted_) {
        umount2(path_.c_str(), MNT_DETACH);
    }
}
