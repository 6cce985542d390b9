// The in-use probe on Linux. It never opens, stats or reads a file other than the one it asks
// about: a stat through another process's descriptor waits on that file's file system, and one
// file held on a hung NFS or FUSE mount would put the log sender into a wait that not even
// SIGKILL ends. Two steps, the second only when the first cannot answer:
// - The kernel is asked for a write lease on the file, which it grants only while no other open
//   file of the machine reads or writes it. Granted: nobody holds the file, and the check has
//   cost a handful of system calls, however many descriptors are open.
// - Refused (someone has the file open, perhaps only a mapping or a process of another user), or
//   no lease to be had (the file system keeps none, the file is not this user's): the
//   descriptors of every process it may read are scanned, reading only what the kernel prints
//   from memory. The file's identity by statx (inode, mount id, number of links); the mount
//   table of every mount namespace in use (each mount's device, and the names under which a
//   bind mount of the file itself shows it); per descriptor the link text of /proc/<pid>/fd/<n>,
//   which the kernel prints from its name cache: one readlink sorts out every descriptor whose
//   text cannot name the file (proc_text.h), nearly all of them; for the few left,
//   /proc/<pid>/fdinfo/<n>, the inode and mount id behind the descriptor.
// Same inode and mount: held. Same inode through another mount: held when that mount shows the
// same file system (the same device in mountinfo), as a bind mount or another mount namespace
// does. Where the kernel prints no inode or mount id, or a mount cannot be found, a descriptor
// that passed the name sort counts as held: a file that might be in use is treated as in use.
// Processes of other users are not readable without privilege and are skipped; the product
// runs as the same user as the log sender. The check and the operation that follows it are two
// steps, so a process that opens the file in between is not seen.
#include "platform/file_use_probe.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/proc_text.h"
#include "platform/process_list.h"

namespace {

// A mount table holds a few hundred lines even on a busy machine; one longer than this is taken
// as unreadable rather than let the probe's memory grow with it.
constexpr std::size_t kMountTableCeiling = 16u << 20;
// fdinfo prints the inode and mount id among its first lines; what file locks add after them is
// not needed, and a line the buffer cuts is not read.
constexpr std::size_t kDescriptorInfoSize = 512;
// The kernel prints at most PATH_MAX - 1 bytes of a link text, so one that fills this buffer was
// cut and its last component is unknown.
constexpr std::size_t kLinkTextSize = 4096;

class CDescriptorCloser {
public:
    explicit CDescriptorCloser(int descriptor) : descriptor_(descriptor) {}
    ~CDescriptorCloser() {
        if (descriptor_ >= 0) {
            close(descriptor_);
        }
    }
    CDescriptorCloser(const CDescriptorCloser&) = delete;
    CDescriptorCloser& operator=(const CDescriptorCloser&) = delete;

private:
    int descriptor_;
};

struct CDirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, CDirCloser>;

// Mount id -> device of the mount's file system. Mount ids are unique across all namespaces, so
// one table serves every process.
using MountDevices = std::unordered_map<std::uint64_t, std::uint64_t>;

struct CFileIdentity {
    bool regular = false;
    std::uint64_t inode = 0;
    bool hasMountId = false;
    std::uint64_t mountId = 0;
    bool hasDevice = false;
    std::uint64_t device = 0;
    // Every path-like descriptor may be the file: it has further names (hard links), or a name
    // it may show under could not be learnt.
    bool anyPath = false;
    std::vector<std::string> names;
};

bool Gone(int error) {
    return error == ENOENT || error == ESRCH;
}

enum class ReadOutcome { kRead, kGone, kFailed };

// The whole of a /proc text, name relative to folder, up to ceiling bytes.
ReadOutcome ReadWhole(int folder, const char* name, std::size_t ceiling, std::string& text) {
    const int descriptor = openat(folder, name, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return Gone(errno) ? ReadOutcome::kGone : ReadOutcome::kFailed;
    }
    const CDescriptorCloser closer(descriptor);
    text.clear();
    char block[8192];
    for (;;) {
        const ssize_t got = read(descriptor, block, sizeof block);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return Gone(errno) ? ReadOutcome::kGone : ReadOutcome::kFailed;
        }
        if (got == 0) {
            return ReadOutcome::kRead;
        }
        if (static_cast<std::size_t>(got) > ceiling - text.size()) {
            return ReadOutcome::kFailed;
        }
        text.append(block, static_cast<std::size_t>(got));
    }
}

std::vector<CMountRecord> MountRecordsOf(std::string_view table) {
    std::vector<CMountRecord> records;
    while (!table.empty()) {
        const std::size_t end = table.find('\n');
        CMountRecord record;
        if (ReadMountRecord(table.substr(0, end), record)) {
            records.push_back(std::move(record));
        }
        table.remove_prefix(end == std::string_view::npos ? table.size() : end + 1);
    }
    return records;
}

void AddName(std::string_view name, CFileIdentity& file) {
    for (const std::string& known : file.names) {
        if (known == name) {
            return;
        }
    }
    file.names.emplace_back(name);
}

// A mount that shows a part of a file system rather than its root may be a bind mount of the
// file itself. The file then shows under the mount point's name to whoever opened it there,
// and under its own name (the root's last component) to whoever did not, even when the path
// asked about goes through the mount. The mounts of bound folders add names too; they only cost
// an fdinfo read for descriptors of those names. False when the process has ended meanwhile.
bool TakeMountTable(int folder, CFileIdentity& file, MountDevices& devices) {
    std::string table;
    const ReadOutcome outcome = ReadWhole(folder, "mountinfo", kMountTableCeiling, table);
    if (outcome == ReadOutcome::kFailed) {
        file.anyPath = true;
    }
    // A table read in part may end in a cut line, whose device would be wrong.
    const std::vector<CMountRecord> records =
        outcome == ReadOutcome::kRead ? MountRecordsOf(table) : std::vector<CMountRecord>();
    for (const CMountRecord& record : records) {
        devices[record.mountId] = record.device;
    }
    if (file.hasMountId && !file.hasDevice) {
        const auto own = devices.find(file.mountId);
        file.hasDevice = own != devices.end();
        file.device = file.hasDevice ? own->second : 0;
    }
    for (const CMountRecord& record : records) {
        if (record.root != "/" && (!file.hasDevice || record.device == file.device)) {
            AddName(LastComponent(record.root), file);
            AddName(LastComponent(record.mountPoint), file);
        }
    }
    return outcome != ReadOutcome::kGone;
}

bool ReadLinkText(int folder, const char* name, std::string& text) {
    char buffer[64];
    const ssize_t got = readlinkat(folder, name, buffer, sizeof buffer);
    if (got < 0 || static_cast<std::size_t>(got) == sizeof buffer) {
        return false;
    }
    text.assign(buffer, static_cast<std::size_t>(got));
    return true;
}

// Reads the mount table of each mount namespace that a process of pids lives in. The
// namespace's link and the descriptor folder are guarded by the same permission, so a process
// whose namespace cannot be told has no descriptors the probe could read either.
void TakeMountTables(const std::vector<std::uint32_t>& pids, CFileIdentity& file,
                     MountDevices& devices) {
    std::vector<std::string> namespaces(1);
    const int self = open("/proc/self", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (self < 0) {
        file.anyPath = true;
        return;
    }
    {
        const CDescriptorCloser closer(self);
        TakeMountTable(self, file, devices);
        if (!ReadLinkText(self, "ns/mnt", namespaces[0])) {
            namespaces.clear();
        }
    }
    for (const std::uint32_t pid : pids) {
        char path[48];
        std::snprintf(path, sizeof path, "/proc/%u", static_cast<unsigned>(pid));
        const int folder = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0) {
            continue;
        }
        const CDescriptorCloser closer(folder);
        std::string space;
        if (!ReadLinkText(folder, "ns/mnt", space)) {
            continue;
        }
        bool known = false;
        for (const std::string& seen : namespaces) {
            known = known || seen == space;
        }
        if (!known && TakeMountTable(folder, file, devices)) {
            namespaces.push_back(space);
        }
    }
}

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

// Whether the descriptor of the process whose /proc folder is processFolder refers to the file,
// by its fdinfo. A descriptor closed in the meantime holds nothing.
bool DescriptorHolds(int processFolder, int descriptorNumber, const CFileIdentity& file,
                     const MountDevices& devices) {
    char path[32];
    std::snprintf(path, sizeof path, "fdinfo/%d", descriptorNumber);
    const int descriptor = openat(processFolder, path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return !Gone(errno);
    }
    char text[kDescriptorInfoSize];
    ssize_t got = 0;
    {
        const CDescriptorCloser closer(descriptor);
        do {
            got = read(descriptor, text, sizeof text);
        } while (got < 0 && errno == EINTR);
    }
    if (got < 0) {
        return !Gone(errno);
    }
    const CDescriptorInfo info = ReadDescriptorInfo({text, static_cast<std::size_t>(got)});
    if (!info.hasInode) {
        return true;
    }
    if (info.inode != file.inode) {
        return false;
    }
    if (!file.hasDevice || !info.hasMountId || info.mountId == file.mountId) {
        return true;
    }
    // Not found: a mount made after the tables were read, or one no namespace shows any more.
    const auto mount = devices.find(info.mountId);
    return mount == devices.end() || mount->second == file.device;
}

bool ProcessHolds(std::uint32_t pid, int skippedDescriptor, const CFileIdentity& file,
                  const MountDevices& devices) {
    char path[48];
    std::snprintf(path, sizeof path, "/proc/%u", static_cast<unsigned>(pid));
    const int folder = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        return false;
    }
    const CDescriptorCloser closer(folder);
    const int listing = openat(folder, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return false;
    }
    DirHandle dir(fdopendir(listing));
    if (!dir) {
        close(listing);
        return false;
    }
    char link[kLinkTextSize];
    while (const dirent* entry = readdir(dir.get())) {
        const int descriptor = DescriptorNumber(entry->d_name);
        if (descriptor < 0 || descriptor == skippedDescriptor) {
            continue;
        }
        const ssize_t got = readlinkat(listing, entry->d_name, link, sizeof link);
        // A text too long for the kernel to print cannot be sorted out by name.
        const bool candidate =
            got < 0 ? errno == ENAMETOOLONG
                    : LinkMayNameFile({link, static_cast<std::size_t>(got)}, file.names,
                                      file.anyPath || static_cast<std::size_t>(got) == sizeof link);
        if (candidate && DescriptorHolds(folder, descriptor, file, devices)) {
            return true;
        }
    }
    return false;
}

// The identity statx gives, from the descriptor or, with -1, from the path itself. False when
// not even the inode can be learnt.
bool IdentityOf(int descriptor, const std::string& nativePath, CFileIdentity& file) {
    constexpr unsigned kWanted = STATX_TYPE | STATX_INO | STATX_NLINK | STATX_MNT_ID;
    struct statx status;
    const bool taken = descriptor >= 0 ? statx(descriptor, "", AT_EMPTY_PATH, kWanted, &status) == 0
                                       : statx(AT_FDCWD, nativePath.c_str(), AT_SYMLINK_NOFOLLOW,
                                               kWanted, &status) == 0;
    if (!taken || (status.stx_mask & STATX_INO) == 0) {
        return false;
    }
    file = CFileIdentity();
    file.regular = (status.stx_mask & STATX_TYPE) != 0 && S_ISREG(status.stx_mode);
    file.inode = status.stx_ino;
    file.hasMountId = (status.stx_mask & STATX_MNT_ID) != 0;
    file.mountId = file.hasMountId ? status.stx_mnt_id : 0;
    file.anyPath = (status.stx_mask & STATX_NLINK) == 0 || status.stx_nlink > 1;
    const std::string_view name = LastComponent(nativePath);
    if (name.empty() || name == "." || name == "..") {
        file.anyPath = true;
    } else {
        file.names.emplace_back(name);
    }
    return true;
}

// Whether the kernel knows that no open file of the machine but descriptor's own reads or
// writes the file, whichever process, user or mount it came through: it grants a write lease
// only then. Leases exist for regular files of most local file systems, to the file's owner or
// a holder of CAP_LEASE; anything else is refused, and the scan answers instead. The lease is
// given back at once. While it stands, a process opening the file waits for that, and the
// kernel signals this process: with SIGURG, ignored unless handled, instead of SIGIO, which
// would end it. A descriptor opened with O_PATH, which can neither read nor write the file,
// does not count.
bool NobodyElseHasItOpen(int descriptor) {
    const int previous = fcntl(descriptor, F_GETSIG);
    if (previous < 0 || fcntl(descriptor, F_SETSIG, SIGURG) != 0) {
        return false;
    }
    const bool granted = fcntl(descriptor, F_SETLEASE, F_WRLCK) == 0;
    if (granted) {
        fcntl(descriptor, F_SETLEASE, F_UNLCK);
    }
    fcntl(descriptor, F_SETSIG, previous);
    return granted;
}

bool ScanFindsHolder(CFileIdentity file, int ownDescriptor,
                     const std::vector<std::uint32_t>& pids) {
    MountDevices devices;
    TakeMountTables(pids, file, devices);
    const auto self = static_cast<std::uint32_t>(getpid());
    for (const std::uint32_t pid : pids) {
        if (ProcessHolds(pid, pid == self ? ownDescriptor : -1, file, devices)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsFileInUse(int descriptor, const std::string& nativePath) {
    CFileIdentity file;
    if (!IdentityOf(descriptor, nativePath, file)) {
        return true;
    }
    // Asked by path, a regular file is opened for the lease, and its identity taken again from
    // what was opened, so that the lease and the scan ask about one file. Other kinds are never
    // opened: a FIFO would gain a reader, a device might act on the open.
    const int opened =
        descriptor < 0 && file.regular
            ? open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY)
            : -1;
    const CDescriptorCloser closer(opened);
    if (opened >= 0 && !IdentityOf(opened, nativePath, file)) {
        return true;
    }
    const int own = descriptor >= 0 ? descriptor : opened;
    if (own >= 0 && file.regular && NobodyElseHasItOpen(own)) {
        return false;
    }
    std::vector<std::uint32_t> pids;
    return !ReadRunningProcessIds(pids) || ScanFindsHolder(file, own, pids);
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
