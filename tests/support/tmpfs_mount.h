// CTmpfsMount: a small file system of the test's own (Linux tmpfs), mounted on a new folder for
// the object's lifetime and unmounted when it ends, even when the test fails: a disk that fills
// up or runs out of file entries, without touching the machine's real disks. Mounting needs
// root; a test skips when Mounted() is false.
#pragma once

#include <filesystem>
#include <string>

class CTmpfsMount {
public:
    // Mounts at path (created when missing) with the given mount options, e.g. "size=2m".
    CTmpfsMount(const std::filesystem::path& path, const std::string& options);
    ~CTmpfsMount();
    CTmpfsMount(const CTmpfsMount&) = delete;
    CTmpfsMount& operator=(const CTmpfsMount&) = delete;

    bool Mounted() const { return mounted_; }

private:
    std::filesystem::path path_;
    bool mounted_ = false;
};
