// Files for the run: path joining, delete, rename without replacing, the exclusive open and
// its reads, the prefix search, and the guarantee that a file another process holds open
// is neither moved, read nor deleted.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/exclusive_file.h"
#include "platform/file_errors.h"
#include "platform/file_operations.h"
#include "platform/file_search.h"
#include "platform/path_join.h"
#include "platform/text_conversion.h"
#include "tests/support/child_process.h"
#include "tests/support/platform_expectation.h"
#include "tests/support/temp_folder.h"

namespace {

std::u16string Wide(const std::string& text) {
    return NarrowToWide(text);
}

std::u16string PathIn(const CTempFolder& folder, const std::string& name) {
    return JoinPath(folder.WidePath(), Wide(name));
}

std::string ReadWhole(CExclusiveFile& file, std::uint32_t piece,
                      std::vector<std::uint32_t>& sizes) {
    std::string content(piece, '\0');
    std::string all;
    std::uint32_t got = 0;
    while (file.Read(content.data(), piece, got) && got != 0) {
        sizes.push_back(got);
        all.append(content.data(), got);
    }
    return all;
}

TEST(PathJoin, PutsOneSeparatorBetweenFolderAndName) {
    EXPECT_EQ(JoinPath(u"/data/Ombrix", u"Log"),
              std::u16string(u"/data/Ombrix") + kPathSeparator + u"Log");
    EXPECT_EQ(JoinPath(u"", u"Log"), std::u16string(1, kPathSeparator) + u"Log");
}

// A name that would reach beyond its folder (or name the folder itself) joins to the empty
// path, which every file operation refuses.
TEST(PathJoin, OnlyOneFileNameJoins) {
    const struct {
        const char16_t* name;
        bool posix;
        bool windows;
    } cases[] = {
        {u"OmbrixLog.4321.Runner.log", true, true},
        {u"..log", true, true},
        {u"a..b", true, true},
        {u"", false, false},
        {u".", false, false},
        {u"..", false, false},
        {u"OmbrixLog.x/../../../outside/victim.Streamer.log", false, false},
        {u"../victim", false, false},
        {u"a/b", false, false},
        {u"a\\b", true, false},
        {u"..\\victim", true, false},
        {u"OmbrixLog.C:.Runner.log", true, false},
    };
    for (const auto& c : cases) {
        const bool joins = OnThisPlatform(c.posix, c.windows);
        EXPECT_EQ(IsOneFileName(c.name), joins) << WideToNarrow(c.name);
        EXPECT_EQ(JoinPath(u"folder", c.name).empty(), !joins) << WideToNarrow(c.name);
    }
}

TEST(FileOperations, DeleteRemovesOnlyWhatExists) {
    CTempFolder folder;
    folder.Write("a.log", "x");
    EXPECT_TRUE(FileExistsAt(PathIn(folder, "a.log")));
    EXPECT_TRUE(DeleteFileAt(PathIn(folder, "a.log")));
    EXPECT_FALSE(folder.Exists("a.log"));
    EXPECT_FALSE(FileExistsAt(PathIn(folder, "a.log")));
    EXPECT_FALSE(DeleteFileAt(PathIn(folder, "a.log"))) << "already gone";
}

TEST(FileOperations, RenameNeverReplacesItsTarget) {
    CTempFolder folder;
    folder.Write("current.log", "current");
    folder.Write("taken.log", "earlier");
    EXPECT_FALSE(RenameFileNoReplace(PathIn(folder, "current.log"), PathIn(folder, "taken.log")));
    EXPECT_EQ(folder.Read("current.log"), "current");
    EXPECT_EQ(folder.Read("taken.log"), "earlier");

    EXPECT_TRUE(RenameFileNoReplace(PathIn(folder, "current.log"), PathIn(folder, "free.log")));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"free.log", "taken.log"}));
    EXPECT_EQ(folder.Read("free.log"), "current");

    EXPECT_FALSE(RenameFileNoReplace(PathIn(folder, "missing.log"), PathIn(folder, "other.log")));
    EXPECT_FALSE(folder.Exists("other.log"));
}

TEST(FileOperations, PathsCutShortByAZeroAreRefused) {
    CTempFolder folder;
    folder.Write("a.log", "kept");
    const std::u16string cut = PathIn(folder, "a.log") + std::u16string(1, u'\0') + u"b";
    CExclusiveFile file;
    EXPECT_FALSE(file.Open(cut));
    EXPECT_FALSE(FileExistsAt(cut));
    EXPECT_FALSE(RenameFileNoReplace(cut, PathIn(folder, "moved.log")));
    EXPECT_FALSE(RenameFileNoReplace(PathIn(folder, "a.log"), cut));
    EXPECT_FALSE(DeleteFileAt(cut));
    EXPECT_FALSE(DeleteFileAt(u""));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.log"});
}

TEST(ExclusiveFile, ReadsInPiecesToTheEnd) {
    CTempFolder folder;
    std::string bytes(20000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    }
    folder.Write("big.log", bytes);
    CExclusiveFile file;
    ASSERT_TRUE(file.Open(PathIn(folder, "big.log")));
    std::vector<std::uint32_t> sizes;
    EXPECT_EQ(ReadWhole(file, 8192, sizes), bytes);
    EXPECT_EQ(sizes, (std::vector<std::uint32_t>{8192, 8192, 3616}));
    ASSERT_TRUE(file.Rewind());
    EXPECT_EQ(ReadWhole(file, 20000, sizes), bytes) << "read again from the start";
}

TEST(ExclusiveFile, RefusesMissingFilesAndFolders) {
    CTempFolder folder;
    folder.Write("sub/inner.log", "x");
    CExclusiveFile file;
    EXPECT_FALSE(file.Open(PathIn(folder, "missing.log")));
    EXPECT_NE(file.LastError(), 0u);
    EXPECT_FALSE(file.Open(PathIn(folder, "sub")));
    EXPECT_FALSE(file.IsOpen());
    std::uint32_t got = 1;
    char byte = 0;
    EXPECT_FALSE(file.Read(&byte, 1, got));
    EXPECT_EQ(got, 0u);
}

TEST(ExclusiveFile, RefusesAFileThisProcessAlreadyHasOpen) {
    CTempFolder folder;
    const auto path = folder.Write("archive.zip", "PK");
    CExclusiveFile file;
    {
        std::ifstream writerHandle(path);
        ASSERT_TRUE(writerHandle.is_open());
        EXPECT_FALSE(file.Open(PathIn(folder, "archive.zip")));
        EXPECT_EQ(file.LastError(), kErrorFileInUse);
    }
    EXPECT_TRUE(file.Open(PathIn(folder, "archive.zip"))) << "free once the other handle closed";
    CExclusiveFile second;
    EXPECT_FALSE(second.Open(PathIn(folder, "archive.zip"))) << "the first open holds it";
}

// Remove deletes the held file by its name, but only while the name is still that file and
// nobody else holds it; either way the file is closed. On Windows nobody can take the name or
// the file while it is held, so the last two rows are POSIX's.
TEST(ExclusiveFile, RemoveDeletesOnlyTheFileItHolds) {
    const struct {
        const char* name;
        bool posixOnly;
        bool anotherHolder;
        bool replaced;
        bool removed;
    } cases[] = {
        {"held by this object alone", false, false, false, true},
        {"held by another process as well", true, true, false, false},
        {"another file moved to its name", true, false, true, false},
    };
    for (const auto& c : cases) {
        if (c.posixOnly && OnThisPlatform(false, true)) {
            continue;
        }
        CTempFolder folder;
        const auto path = folder.Write("OmbrixLog07.1.Runner.log", "sent");
        CExclusiveFile file;
        ASSERT_TRUE(file.Open(PathIn(folder, "OmbrixLog07.1.Runner.log"))) << c.name;
        CChildProcess holder;
        if (c.anotherHolder) {
            ASSERT_TRUE(holder.StartHolding(path.string())) << c.name;
        }
        if (c.replaced) {
            std::filesystem::rename(folder.Write("newer.log", "not sent"), path);
        }
        EXPECT_EQ(file.Remove(), c.removed) << c.name;
        EXPECT_FALSE(file.IsOpen()) << c.name;
        EXPECT_EQ(folder.Exists("OmbrixLog07.1.Runner.log"), !c.removed) << c.name;
        if (c.replaced) {
            EXPECT_EQ(folder.Read("OmbrixLog07.1.Runner.log"), "not sent") << c.name;
        }
    }
}

TEST(FileInUse, AFileAnotherProcessHoldsStaysPut) {
    CTempFolder folder;
    const auto held = folder.Write("OmbrixLog.1.Runner.log", "live log");
    const auto heldPath = PathIn(folder, "OmbrixLog.1.Runner.log");
    CChildProcess holder;
    ASSERT_TRUE(holder.StartHolding(held.string()));

    CExclusiveFile file;
    EXPECT_FALSE(file.Open(heldPath));
    EXPECT_EQ(file.LastError(), kErrorFileInUse);
    EXPECT_FALSE(RenameFileNoReplace(heldPath, PathIn(folder, "moved.log")));
    EXPECT_FALSE(DeleteFileAt(heldPath));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"OmbrixLog.1.Runner.log"});

    holder.Kill();
    EXPECT_EQ(folder.Read("OmbrixLog.1.Runner.log"), "live log");
    EXPECT_TRUE(file.Open(heldPath));
    file.Close();
    EXPECT_TRUE(RenameFileNoReplace(heldPath, PathIn(folder, "moved.log")));
    EXPECT_TRUE(DeleteFileAt(PathIn(folder, "moved.log")));
    EXPECT_TRUE(folder.Names().empty());
}

// The name each file is found under, on each platform; null when it is not found. Windows
// matches the system's pattern "OmbrixLog.*": letter case is ignored and the name without its
// dot matches too. It also drops trailing dots from the names it creates.
struct SearchCase {
    const char* name;
    const char* posix;
    const char* windows;
};

std::vector<std::string> FoundNames(const CTempFolder& folder, const std::u16string& prefix) {
    CFileSearch search;
    std::vector<std::string> found;
    std::u16string name;
    for (bool more = search.First(folder.WidePath(), prefix, name); more;
         more = search.Next(name)) {
        found.push_back(WideToNarrow(name));
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(FileSearch, FindsNamesBeginningWithThePrefix) {
    const SearchCase cases[] = {
        {"OmbrixLog.4321.Runner.log", "OmbrixLog.4321.Runner.log", "OmbrixLog.4321.Runner.log"},
        {"OmbrixLog.Streamer.log", "OmbrixLog.Streamer.log", "OmbrixLog.Streamer.log"},
        {"OmbrixLog.", "OmbrixLog.", "OmbrixLog"},
        {"OmbrixLog.1234.Runner.zip", "OmbrixLog.1234.Runner.zip", "OmbrixLog.1234.Runner.zip"},
        {"OmbrixLog07.4321.Runner.log", nullptr, nullptr},
        {"OmbrixLog", nullptr, "OmbrixLog"},
        {"ombrixlog.1.Runner.log", nullptr, "ombrixlog.1.Runner.log"},
        {"xOmbrixLog.1.Runner.log", nullptr, nullptr},
        {"Other.log", nullptr, nullptr},
    };
    CTempFolder folder;
    std::set<std::string> expected;
    for (const auto& c : cases) {
        folder.Write(c.name, "");
        if (const char* found = OnThisPlatform(c.posix, c.windows)) {
            expected.insert(found);
        }
    }
    EXPECT_EQ(FoundNames(folder, u"OmbrixLog."),
              std::vector<std::string>(expected.begin(), expected.end()));
}

TEST(FileSearch, NamesComeBackAsTheFolderHoldsThem) {
    CTempFolder folder;
    std::ofstream log(folder.Path() / std::filesystem::path(u"OmbrixLog.\u3042.Runner.log"));
    if (!log.is_open()) {
        // Wine keeps names as bytes of the locale's character set: under LC_ALL=C it can hold
        // no name outside ASCII.
        GTEST_SKIP() << "this file system cannot hold the name";
    }
    log.close();
    CFileSearch search;
    std::u16string name;
    ASSERT_TRUE(search.First(folder.WidePath(), u"OmbrixLog.", name));
    EXPECT_EQ(name, u"OmbrixLog.\u3042.Runner.log");
    CExclusiveFile file;
    EXPECT_TRUE(file.Open(JoinPath(folder.WidePath(), name))) << "the name found opens the file";
}

TEST(FileSearch, HandsOutOnlyNamesPresentAtTheStart) {
    CTempFolder folder;
    folder.Write("OmbrixLog.1.Runner.log", "");
    CFileSearch search;
    std::u16string name;
    ASSERT_TRUE(search.First(folder.WidePath(), u"OmbrixLog.", name));
    for (int i = 0; i < 50; ++i) {
        folder.Write("OmbrixLog.1.Runner." + std::to_string(i) + ".zip", "");
    }
    EXPECT_FALSE(search.Next(name));
}

TEST(FileSearch, EmptyOrMissingFolderFindsNothing) {
    CTempFolder folder;
    CFileSearch search;
    std::u16string name;
    EXPECT_FALSE(search.First(folder.WidePath(), u"OmbrixLog.", name));
    EXPECT_FALSE(search.First(PathIn(folder, "missing"), u"OmbrixLog.", name));
    EXPECT_FALSE(search.Next(name));
}

}  // namespace
