// Names and files of the log folder that are not plain: file names and a data folder that are
// not valid UTF-8 are found, packed under their own bytes, posted and deleted like any other
// log, and a decoy folder whose name differs only in those bytes is never touched; a log the
// user may not read is not posted and is kept, since it was never offered.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/run_flow.h"
#include "platform/app_data_folder.h"
#include "tests/support/permission_override.h"
#include "tests/support/scoped_variable.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_run_context.h"
#include "tests/support/upload_recorder.h"
#include "tests/support/zip_reader.h"

namespace {

struct NameRow {
    const char* name;
    std::string folder;      // the data folder, under the test's own folder
    std::string decoy;       // a second data folder with a log of its own; empty for none
    std::string log;         // the log's name in <folder>/Ombrix/Log
    bool readable;           // false: the file's mode is 000
    std::string postedName;  // the multipart file name the receiver sees; "" when none
};

const std::string kContent = "log lines of an ended process\n";

void CheckRow(const NameRow& row, const CTempFolder& root, const CUploadRecorder& recorder) {
    const std::string logPath = row.folder + "/Ombrix/Log/" + row.log;
    const auto uploads = recorder.Uploads();
    ASSERT_EQ(uploads.size(), row.readable ? 1U : 0U) << row.name;
    if (row.readable) {
        EXPECT_EQ(uploads[0].fileName, row.postedName) << row.name;
        std::vector<CZipEntry> entries;
        ASSERT_TRUE(ReadZipBytes(uploads[0].archive, entries)) << row.name;
        ASSERT_EQ(entries.size(), 1U) << row.name;
        EXPECT_EQ(entries[0].name, row.log) << row.name << ": the entry has the file's bytes";
        EXPECT_EQ(entries[0].bytes, kContent) << row.name;
        EXPECT_FALSE(root.Exists(logPath)) << row.name << ": an offered log is deleted";
    } else {
        EXPECT_TRUE(root.Exists(logPath)) << row.name << ": a log never offered is kept";
        std::filesystem::permissions(root.Path() / logPath, std::filesystem::perms::owner_read);
        EXPECT_EQ(root.Read(logPath), kContent) << row.name;
    }
    EXPECT_EQ(root.Names().size(), row.decoy.empty() ? 1U : 2U) << row.name << ": nothing beside";
    if (!row.decoy.empty()) {
        EXPECT_EQ(root.Read(row.decoy + "/Ombrix/Log/OmbrixLog.4194311.Runner.log"), "decoy")
            << row.name << ": the folder whose name only looks alike is not touched";
    }
}

TEST(FileNames, LogsAreFoundByTheirOwnBytes) {
    const NameRow rows[] = {
        {"log name with byte E9", "data", "", "OmbrixLog.4194313.Caf\xE9.log", true,
         "S1$OmbrixLog.4194313.Caf?.zip"},
        {"log name with byte FF", "data", "", "OmbrixLog.4194317.\xFF\xFE.log", true,
         "S1$OmbrixLog.4194317.??.zip"},
        {"data folder with byte E9", "data\xE9", "data\xEF\xBF\xBD", "OmbrixLog.4194321.Runner.log",
         true, "S1$OmbrixLog.4194321.Runner.zip"},
        {"log the user may not read", "data", "", "OmbrixLog.4194325.Runner.log", false, ""},
    };
    for (const auto& row : rows) {
        CTempFolder root;
        const auto log = root.Write(row.folder + "/Ombrix/Log/" + row.log, kContent);
        if (!row.readable) {
            std::filesystem::permissions(log, std::filesystem::perms::none);
        }
        if (!row.decoy.empty()) {
            root.Write(row.decoy + "/Ombrix/Log/OmbrixLog.4194311.Runner.log", "decoy");
        }
        CScopedVariable dataHome("XDG_DATA_HOME", (root.Path() / row.folder).string());
        CUploadRecorder recorder;
        WideString dataFolder;
        ASSERT_TRUE(LocalAppDataFolder(dataFolder)) << row.name;
        const CRunContext context = TestRunContext(recorder.Url(), dataFolder);
        int status = -1;
        ASSERT_TRUE(RunWithoutPermissionOverride([&] {
            status = RunLogSender("sendlogs S1 4321", context);
        })) << row.name;
        EXPECT_EQ(status, 0) << row.name;
        CheckRow(row, root, recorder);
    }
}

}  // namespace
