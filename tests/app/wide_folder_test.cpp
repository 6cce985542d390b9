// A data folder whose path holds characters that the ANSI code page cannot hold (a user name
// in another script): the current logs are set aside and every log is packed, posted and
// deleted there as anywhere else, since paths stay UTF-16 down to the system calls on Windows
// and convert without loss on POSIX.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/run_flow.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_run_context.h"
#include "tests/support/upload_recorder.h"
#include "tests/support/zip_reader.h"

namespace {

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(WideFolder, LogsInAFolderTheCodePageCannotNameAreShipped) {
    CTempFolder root;
    // Greek and Japanese: outside code page 1252, and the Greek outside 932 as well.
    const std::filesystem::path data = root.Path() / std::filesystem::path(u"\u03A9\u03BC\u65E5");
    const std::filesystem::path log = data / "Ombrix" / "Log";
    std::filesystem::create_directories(log);
    WriteFile(log / "OmbrixLog.4321.Runner.log", "current log\n");
    WriteFile(log / "OmbrixLog.4194305.Streamer.log", "log of an ended process\n");

    CUploadRecorder recorder;
    const CRunContext context = TestRunContext(recorder.Url(), data.u16string());
    EXPECT_EQ(RunLogSender("sendlogs S1 4321", context), 0);

    EXPECT_EQ(recorder.FileNames(),
              (std::vector<std::string>{"S1$OmbrixLog07.4321.Runner.zip",
                                        "S1$OmbrixLog.4194305.Streamer.zip"}));
    const std::vector<std::string> contents{"current log\n", "log of an ended process\n"};
    const auto uploads = recorder.Uploads();
    for (std::size_t i = 0; i < uploads.size() && i < contents.size(); ++i) {
        std::vector<CZipEntry> entries;
        ASSERT_TRUE(ReadZipBytes(uploads[i].archive, entries)) << i;
        ASSERT_EQ(entries.size(), 1U) << i;
        EXPECT_EQ(entries[0].bytes, contents[i]) << i;
    }
    EXPECT_TRUE(std::filesystem::is_empty(log)) << "logs and archives are gone";
}

}  // namespace
