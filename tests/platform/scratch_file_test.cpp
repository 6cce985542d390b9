// The scratch file an archive is made in: created only where nothing is, read back as written,
// held against everyone else while it lives, and gone with its object.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/exclusive_file.h"
#include "platform/file_operations.h"
#include "platform/path_join.h"
#include "platform/scratch_file.h"
#include "platform/text_conversion.h"
#include "tests/support/temp_folder.h"

namespace {

std::u16string PathIn(const CTempFolder& folder, const std::string& name) {
    return JoinPath(folder.WidePath(), NarrowToWide(name));
}

TEST(ScratchFile, NeverTakesTheNameOfWhatIsThere) {
    CTempFolder folder;
    folder.Write("file.zip", "someone's bytes");
    folder.Write("folder.zip/inner", "");
    CScratchFile file;
    EXPECT_FALSE(file.Create(PathIn(folder, "file.zip")));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Create(PathIn(folder, "folder.zip")));
    EXPECT_FALSE(file.Create(u""));
    EXPECT_EQ(folder.Read("file.zip"), "someone's bytes");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"file.zip", "folder.zip"}));

    // A link whose target does not exist yet would create the target elsewhere if followed.
    CTempFolder elsewhere;
    std::error_code error;
    std::filesystem::create_symlink(elsewhere.Path() / "target", folder.Path() / "link.zip", error);
    if (!error) {
        EXPECT_FALSE(file.Create(PathIn(folder, "link.zip")));
        EXPECT_TRUE(elsewhere.Names().empty());
    }
}

TEST(ScratchFile, GivesBackWhatWasWrittenAndGoesWithItsObject) {
    CTempFolder folder;
    {
        CScratchFile file;
        ASSERT_TRUE(file.Create(PathIn(folder, "a.zip")));
        const std::string bytes(100000, 'x');
        ASSERT_TRUE(file.Write(bytes.data(), 100000));
        ASSERT_TRUE(file.SetPosition(10));
        ASSERT_TRUE(file.Write("0123", 4));
        std::uint64_t value = 0;
        ASSERT_TRUE(file.Position(value));
        EXPECT_EQ(value, 14u);
        ASSERT_TRUE(file.Size(value));
        EXPECT_EQ(value, 100000u);
        ASSERT_TRUE(file.SetPosition(8));
        std::string back(8, '\0');
        std::uint32_t got = 0;
        ASSERT_TRUE(file.Read(back.data(), 8, got));
        EXPECT_EQ(back.substr(0, got), "xx0123xx");

        CExclusiveFile other;
        EXPECT_FALSE(other.Open(PathIn(folder, "a.zip"))) << "held while it lives";
        EXPECT_FALSE(DeleteFileAt(PathIn(folder, "a.zip")));
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.zip"});
    }
    EXPECT_TRUE(folder.Names().empty()) << "removed with its object";
    CScratchFile file;
    ASSERT_TRUE(file.Create(PathIn(folder, "b.zip")));
    file.Remove();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
