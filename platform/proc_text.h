// Readers for the texts Linux's /proc shows about open descriptors and mounts, kept apart from
// the in-use probe that fetches them so that they can be tried on made-up and hostile texts.
// Every reader works on the bytes it is given and never reads past their end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What /proc/<pid>/fdinfo/<n> says about the file behind a descriptor: its inode number
// ("ino:", printed since Linux 5.14) and the id of the mount it was opened through ("mnt_id:",
// since 3.15). A field the text lacks, or whose number does not fit, stays unknown. A last line
// without its line end may have been cut short by the reader's buffer and is not read.
struct CDescriptorInfo {
    bool hasInode = false;
    std::uint64_t inode = 0;
    bool hasMountId = false;
    std::uint64_t mountId = 0;
};

CDescriptorInfo ReadDescriptorInfo(std::string_view text);

// One line of /proc/<pid>/mountinfo, "36 35 98:0 /root /mount/point rw ... - type source rw":
// the mount's id, the device of its file system, the folder of that file system it shows and
// where it shows it. The two paths come with the kernel's octal escapes (\040 for a blank, ...)
// undone, so that they compare with the bytes of file names.
struct CMountRecord {
    std::uint64_t mountId = 0;
    std::uint64_t device = 0;  // major in the high 32 bits, minor in the low
    std::string root;
    std::string mountPoint;
};

// False for a line that does not carry the five leading fields in their forms.
bool ReadMountRecord(std::string_view line, CMountRecord& record);

// The last component of a path: what follows its last "/" (the whole text when it has none).
std::string_view LastComponent(std::string_view path);

// Whether a descriptor whose /proc/<pid>/fd/<n> link reads linkText may refer to a file known
// by names (the last components it can show under). Only path-like texts (beginning with "/")
// can: sockets, pipes and anonymous inodes print "socket:[...]", "pipe:[...]",
// "anon_inode:...". Among those, every one may when anyPath is set; otherwise a text ending in
// " (deleted)" may (the name it was opened under is gone, yet another name may still lead to
// the file, as with a file made by O_TMPFILE and linked in later), one with an empty last
// component may (a dentry the kernel cannot name), and one whose last component is one of
// names. Names compare ignoring ASCII letter case: on a file system that ignores case the
// kernel prints the spelling that first looked the file up, which need not be the one asked.
bool LinkMayNameFile(std::string_view linkText, const std::vector<std::string>& names,
                     bool anyPath);
