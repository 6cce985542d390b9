// The readers of /proc texts that the in-use probe relies on, on the texts this machine's kernel
// does not print: those of older kernels, cut ones, and names it spells otherwise.
#include <gtest/gtest.h>

#include "platform/proc_text.h"

namespace {

TEST(ProcText, DescriptorInfoTakesOnlyWholeNumbers) {
    const struct {
        const char* name;
        std::string text;
        bool hasInode;
        bool hasMountId;
    } cases[] = {
        {"kernel before 5.14 prints no inode", "pos:\t0\nflags:\t02\nmnt_id:\t26\n", false, true},
        {"inode cut short by the buffer", "mnt_id:\t26\nino:\t1095", false, true},
        {"inode beyond 64 bits", "ino:\t18446744073709551616\n", false, false},
        {"only ends like a key", "xino:\t5\nmnt_id_x:\t6\n", false, false},
    };
    for (const auto& c : cases) {
        const CDescriptorInfo info = ReadDescriptorInfo(c.text);
        EXPECT_EQ(info.hasInode, c.hasInode) << c.name;
        EXPECT_EQ(info.hasMountId, c.hasMountId) << c.name;
    }
}

TEST(ProcText, MountRecordPathsComeUnescaped) {
    CMountRecord record;
    ASSERT_TRUE(
        ReadMountRecord("40 26 0:5 /a\\040b\\011c /d\\134e\\8 rw master:1 - tmpfs x rw", record));
    EXPECT_EQ(record.mountId, 40u);
    EXPECT_EQ(record.device, 5u);
    EXPECT_EQ(record.root, "/a b\tc");
    EXPECT_EQ(record.mountPoint, "/d\\e\\8");
    EXPECT_FALSE(ReadMountRecord("42 26 2545 / /x rw", record)) << "device without a colon";
}

TEST(ProcText, LinkTextMayNameTheFile) {
    const std::vector<std::string> names = {"OmbrixLog.7.Runner.log"};
    const struct {
        const char* name;
        std::string text;
        bool anyPath;
        bool mayName;
    } cases[] = {
        {"the name in another letter case", "/media/u/OMBRIXLOG.7.runner.LOG", false, true},
        {"a name ending like the file's", "/home/u/xOmbrixLog.7.Runner.log", false, false},
        {"the name as a folder", "/home/u/OmbrixLog.7.Runner.log/x", false, false},
        {"a dentry the kernel cannot name", "/", false, true},
        {"a socket, even when any path may be", "socket:[4242]", true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LinkMayNameFile(c.text, names, c.anyPath), c.mayName) << c.name;
    }
}

}  // namespace
