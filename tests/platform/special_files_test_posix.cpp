// POSIX file kinds the run may meet in the log folder: a FIFO must not stall the exclusive
// open, a symbolic link is never opened through, and deleting or moving a link leaves its
// target alone.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/exclusive_file.h"
#include "platform/file_operations.h"
#include "platform/path_join.h"
#include "platform/text_conversion.h"
#include "tests/support/temp_folder.h"

namespace {

TEST(SpecialFiles, AFifoIsRefusedWithoutWaitingForAWriter) {
    CTempFolder folder;
    const auto fifo = folder.Path() / "OmbrixLog.9.Runner.log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CExclusiveFile file;
    EXPECT_FALSE(file.Open(NarrowToWide(fifo.string())));
}

// A log folder whose OmbrixLog.1.Runner.log is a link to precious.txt in another folder.
class LinkedLog : public ::testing::Test {
protected:
    void SetUp() override {
        target = outside.Write("precious.txt", "keep me");
        link = folder.Path() / "OmbrixLog.1.Runner.log";
        ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    }

    CTempFolder outside;
    CTempFolder folder;
    std::filesystem::path target;
    std::filesystem::path link;
};

TEST_F(LinkedLog, IsNeverOpenedThrough) {
    CExclusiveFile file;
    EXPECT_FALSE(file.Open(NarrowToWide(link.string())));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Open(NarrowToWide(target.string()))) << "the target itself opens";
}

TEST_F(LinkedLog, IsMovedAndDeletedItself) {
    const auto linkPath = NarrowToWide(link.string());
    const auto moved = JoinPath(folder.WidePath(), u"OmbrixLog01.1.Runner.log");
    EXPECT_TRUE(RenameFileNoReplace(linkPath, moved));
    EXPECT_TRUE(DeleteFileAt(moved));
    EXPECT_TRUE(folder.Names().empty());
    EXPECT_EQ(outside.Read("precious.txt"), "keep me");

    const auto dangling = folder.Path() / "OmbrixLog.2.zip";
    ASSERT_EQ(symlink((outside.Path() / "missing").c_str(), dangling.c_str()), 0);
    EXPECT_TRUE(FileExistsAt(NarrowToWide(dangling.string()))) << "a dangling link is there";
}

}  // namespace
