// Windows file semantics the run relies on: the exclusive open shares nothing, so while it
// holds a file even the most sharing opener, a delete and a move are refused, and it refuses a
// file that any other handle holds, however much that handle shares. The product's way of
// holding its log (the stand-in's hold-log mode) keeps the log in place the same way, and the
// stand-in holds nothing it did not open itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/exclusive_file.h"
#include "platform/file_errors.h"
#include "platform/file_operations.h"
#include "platform/path_join.h"
#include "platform/wide_call_text.h"
#include "tests/support/child_process.h"
#include "tests/support/stand_in_program.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens path with every share right; the last error tells why an open failed.
HANDLE OpenSharingAll(const std::u16string& path) {
    return CreateFileW(ToWideCall(path.c_str()), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(ExclusiveFile, WhileHeldNothingElseOpensMovesOrDeletesTheFile) {
    CTempFolder folder;
    folder.Write("archive.zip", "PK");
    const auto path = JoinPath(folder.WidePath(), u"archive.zip");
    CExclusiveFile file;
    ASSERT_TRUE(file.Open(path));

    EXPECT_EQ(OpenSharingAll(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), kErrorFileInUse);
    EXPECT_FALSE(DeleteFileAt(path));
    EXPECT_FALSE(RenameFileNoReplace(path, JoinPath(folder.WidePath(), u"moved.zip")));
    CExclusiveFile second;
    EXPECT_FALSE(second.Open(path)) << "even within this process";
    EXPECT_EQ(second.LastError(), kErrorFileInUse);

    file.Close();
    const HANDLE reopened = OpenSharingAll(path);
    EXPECT_NE(reopened, INVALID_HANDLE_VALUE) << "free once closed";
    CloseHandle(reopened);
}

TEST(ExclusiveFile, RefusesAFileHeldByAnOpenerThatSharesEverything) {
    CTempFolder folder;
    folder.Write("OmbrixLog.1.Runner.log", "live");
    const auto path = JoinPath(folder.WidePath(), u"OmbrixLog.1.Runner.log");
    const HANDLE other = OpenSharingAll(path);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    CExclusiveFile file;
    EXPECT_FALSE(file.Open(path));
    EXPECT_EQ(file.LastError(), kErrorFileInUse);
    CloseHandle(other);
    EXPECT_TRUE(file.Open(path));
}

TEST(ExclusiveFile, RefusesDevices) {
    CExclusiveFile file;
    EXPECT_FALSE(file.Open(u"NUL"));
    EXPECT_FALSE(file.IsOpen());
}

TEST(StandIn, HoldsTheRunnerLogItCreates) {
    CTempFolder folder;
    const std::string text = "a \"quoted\" text\\ with \\\\\" backslashes\\";
    CChildProcess product;
    ASSERT_TRUE(product.Start({StandInProgram(), "hold-log", folder.Path().string(), text}));
    std::string id;
    std::string ready;
    ASSERT_TRUE(product.ReadLine(id, std::chrono::seconds(10)));
    ASSERT_TRUE(product.ReadLine(ready, std::chrono::seconds(10)));
    EXPECT_EQ(id, std::to_string(product.Pid()));
    EXPECT_EQ(ready, "ready");
    const std::string name = "OmbrixLog." + id + ".Runner.log";
    const auto path = JoinPath(folder.WidePath(), std::u16string(name.begin(), name.end()));
    EXPECT_FALSE(DeleteFileAt(path));
    CExclusiveFile file;
    EXPECT_FALSE(file.Open(path));

    int exitCode = -1;
    product.CloseInput();
    ASSERT_TRUE(product.WaitForExit(std::chrono::seconds(10), exitCode)) << "input ended";
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(folder.Read(name), text) << "the text crossed the command line intact";
}

TEST(StandIn, RefusesUnknownModesAndMissingFiles) {
    CTempFolder folder;
    CChildProcess unknown;
    int exitCode = -1;
    ASSERT_TRUE(unknown.Start({StandInProgram(), "dance"}));
    ASSERT_TRUE(unknown.WaitForExit(std::chrono::seconds(10), exitCode));
    EXPECT_EQ(exitCode, 2);
    CChildProcess holder;
    EXPECT_FALSE(holder.StartHolding((folder.Path() / "missing.log").string()));
    ASSERT_TRUE(holder.WaitForExit(std::chrono::seconds(10), exitCode));
    EXPECT_EQ(exitCode, 1);
}

TEST(StandIn, InheritsNoHandleOfTheTest) {
    CTempFolder folder;
    folder.Write("OmbrixLog.2.Runner.log", "x");
    const auto path = JoinPath(folder.WidePath(), u"OmbrixLog.2.Runner.log");
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const HANDLE held = CreateFileW(ToWideCall(path.c_str()), GENERIC_READ, 0, &inheritable,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    CChildProcess product;
    ASSERT_TRUE(product.StartIdle());
    CloseHandle(held);
    CExclusiveFile file;
    EXPECT_TRUE(file.Open(path)) << "the child holds no copy of the test's handle";
}

}  // namespace
