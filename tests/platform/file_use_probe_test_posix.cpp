// The in-use probe on Linux against real processes and mounts: one row per way a file can be
// held that the probe must see, or per look-alike it must not take for the file. Rows that
// mount need root (the tests run as root in CI) and skip elsewhere; their mounts are undone
// when the row ends, however it ends, before its temporary folder is removed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/file_use_probe.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace {

const std::string kLog = "OmbrixLog.7.Runner.log";

// What one row sets up and asks. Its mounts are detached lazily, so that a holder still running
// cannot keep them in place, and before the folder that holds them is removed.
struct CScene {
    CTempFolder folder;
    std::vector<std::string> mounts;
    std::vector<std::unique_ptr<CChildProcess>> holders;
    std::vector<int> descriptors;
    void* mapping = MAP_FAILED;
    int askedDescriptor = -1;
    std::string asked;
    std::string cannotRunHere;

    ~CScene() {
        for (const std::string& target : mounts) {
            umount2(target.c_str(), MNT_DETACH);
        }
        if (mapping != MAP_FAILED) {
            munmap(mapping, 1);
        }
        for (const int descriptor : descriptors) {
            close(descriptor);
        }
    }

    std::string Path(const std::string& name) const { return (folder.Path() / name).string(); }
    std::string File(const std::string& name) const { return folder.Write(name, "log").string(); }
    std::string Folder(const std::string& name) const {
        std::filesystem::create_directories(folder.Path() / name);
        return Path(name);
    }
    bool Hold(const std::string& path) {
        holders.push_back(std::make_unique<CChildProcess>());
        return holders.back()->StartHolding(path);
    }
    // Starts a holder that writes a line once it holds its file, and returns that line.
    std::string StartHolder(const std::vector<std::string>& argv) {
        holders.push_back(std::make_unique<CChildProcess>());
        std::string line;
        return holders.back()->Start(argv) &&
                       holders.back()->ReadLine(line, std::chrono::seconds(10))
                   ? line
                   : "";
    }
    int Open(const std::string& path) {
        descriptors.push_back(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        return descriptors.back();
    }
    bool CanMount() {
        if (geteuid() != 0) {
            cannotRunHere = "mounting needs root";
        }
        return cannotRunHere.empty();
    }
    bool Mount(const std::string& source, const std::string& target, const char* type,
               unsigned long flags) {
        if (CanMount() && mount(source.c_str(), target.c_str(), type, flags, nullptr) != 0) {
            cannotRunHere = std::string("mount: ") + std::strerror(errno);
        } else if (cannotRunHere.empty()) {
            mounts.push_back(target);
        }
        return cannotRunHere.empty();
    }
    // Maps the file and closes the descriptor it was mapped through.
    bool Map(const std::string& path) {
        const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor >= 0) {
            mapping = mmap(nullptr, 1, PROT_READ, MAP_SHARED, descriptor, 0);
            close(descriptor);
        }
        return mapping != MAP_FAILED;
    }
};

struct CRow {
    const char* name;
    void (*setUp)(CScene&);
    bool inUse;
};

const CRow kRows[] = {
    {"HeldByAnotherProcess",
     [](CScene& s) {
         s.asked = s.File(kLog);
         ASSERT_TRUE(s.Hold(s.asked));
     },
     true},
    {"NobodyHoldsItWhileANeighbourIsHeld",
     [](CScene& s) {
         s.asked = s.File(kLog);
         ASSERT_TRUE(s.Hold(s.File("OmbrixLog.8.Runner.log")));
     },
     false},
    {"OnlyTheOwnDescriptorPassedHoldsIt",
     [](CScene& s) {
         s.asked = s.File(kLog);
         s.askedDescriptor = s.Open(s.asked);
         ASSERT_GE(s.askedDescriptor, 0);
     },
     false},
    {"AnotherOwnDescriptorHoldsIt",
     [](CScene& s) {
         s.asked = s.File(kLog);
         s.askedDescriptor = s.Open(s.asked);
         ASSERT_GE(s.askedDescriptor, 0);
         ASSERT_GE(s.Open(s.asked), 0);
     },
     true},
    {"HeldByAnotherProcessUnderTheOwnDescriptorsNumber",
     [](CScene& s) {
         s.asked = s.File(kLog);
         s.askedDescriptor = s.Open(s.asked);
         ASSERT_GE(s.askedDescriptor, 0);
         const std::string script =
             "exec " + std::to_string(s.askedDescriptor) + "<\"$1\" && echo ready; read x";
         ASSERT_EQ(s.StartHolder({"bash", "-c", script, "bash", s.asked}), "ready");
     },
     true},
    {"HeldThroughAHardLinkUnderAnotherName",
     [](CScene& s) {
         s.asked = s.File(kLog);
         ASSERT_EQ(link(s.asked.c_str(), s.Path("other.log").c_str()), 0);
         ASSERT_TRUE(s.Hold(s.Path("other.log")));
     },
     true},
    {"HeldThroughAnUnnamedFileLinkedInLater",
     [](CScene& s) {
         const int unnamed = open(s.folder.Path().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
         ASSERT_GE(unnamed, 0);
         s.descriptors.push_back(unnamed);
         s.asked = s.Path(kLog);
         const std::string self = "/proc/self/fd/" + std::to_string(unnamed);
         ASSERT_EQ(linkat(AT_FDCWD, self.c_str(), AT_FDCWD, s.asked.c_str(), AT_SYMLINK_FOLLOW), 0);
     },
     true},
    {"AskedThroughASymbolicLinkToAHeldFile",
     [](CScene& s) {
         ASSERT_TRUE(s.Hold(s.File("held/" + kLog)));
         s.asked = s.Folder("links") + "/" + kLog;
         ASSERT_EQ(symlink(s.Path("held/" + kLog).c_str(), s.asked.c_str()), 0);
     },
     false},
    {"HeldThroughABindMountOfTheFolder",
     [](CScene& s) {
         s.asked = s.File("real/" + kLog);
         if (s.Mount(s.Path("real"), s.Folder("view"), nullptr, MS_BIND)) {
             ASSERT_TRUE(s.Hold(s.Path("view/" + kLog)));
         }
     },
     true},
    {"HeldThroughABindMountOfTheFileUnderAnotherNameInAnotherNamespace",
     [](CScene& s) {
         s.asked = s.File(kLog);
         const std::string script =
             R"(mount --bind "$1" "$2" && exec 3<>"$2" && echo ready; read x)";
         if (s.CanMount() && s.StartHolder({"unshare", "-m", "sh", "-c", script, "sh", s.asked,
                                            s.File("elsewhere/alias.log")}) != "ready") {
             s.cannotRunHere = "unshare -m could not bind the file";
         }
     },
     true},
    {"AskedThroughABindMountOfTheFileUnderAnotherName",
     [](CScene& s) {
         ASSERT_TRUE(s.Hold(s.File(kLog)));
         s.asked = s.File("alias.log");
         s.Mount(s.Path(kLog), s.asked, nullptr, MS_BIND);
     },
     true},
    {"SameNameAndInodeOnAnotherFileSystem",
     [](CScene& s) {
         if (s.Mount("none", s.Folder("one"), "tmpfs", 0) &&
             s.Mount("none", s.Folder("two"), "tmpfs", 0)) {
             // A tmpfs numbers its own inodes, so the first file of each gets the same.
             s.asked = s.File("one/" + kLog);
             ASSERT_TRUE(s.Hold(s.File("two/" + kLog)));
             struct stat one;
             struct stat two;
             if (stat(s.asked.c_str(), &one) != 0 ||
                 stat(s.Path("two/" + kLog).c_str(), &two) != 0 || one.st_ino != two.st_ino) {
                 s.cannotRunHere = "the two files did not get the same inode number";
             }
         }
     },
     false},
};

void PrintTo(const CRow& row, std::ostream* out) {
    *out << row.name;
}

// Each row is asked twice: as it stands, and with the file also mapped into this process. A
// mapping is no descriptor, so the answer stays; but it keeps the file open, the kernel refuses
// the lease that answers for a file nobody has open, and the descriptor scan has to tell the
// holders from the look-alikes.
class FileUseProbe : public ::testing::TestWithParam<std::tuple<CRow, bool>> {};

TEST_P(FileUseProbe, SeesExactlyTheHoldersOfTheFile) {
    const CRow& row = std::get<0>(GetParam());
    CScene scene;
    row.setUp(scene);
    if (HasFatalFailure()) {
        return;
    }
    if (!scene.cannotRunHere.empty()) {
        GTEST_SKIP() << scene.cannotRunHere;
    }
    if (std::get<1>(GetParam())) {
        ASSERT_TRUE(scene.Map(scene.asked));
    }
    EXPECT_EQ(IsFileInUse(scene.askedDescriptor, scene.asked), row.inUse);
}

INSTANTIATE_TEST_SUITE_P(Table, FileUseProbe,
                         ::testing::Combine(::testing::ValuesIn(kRows), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_AlsoMapped" : "");
                         });

}  // namespace
