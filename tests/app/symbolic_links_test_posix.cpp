// Symbolic links in the log folder: whatever a link named like a log or an archive points to,
// its bytes never reach the receiver and it is never changed. The links themselves are moved
// and deleted like any log.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "app/log_uploader.h"
#include "app/run_flow.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_run_context.h"
#include "tests/support/upload_recorder.h"

namespace {

const std::string kMarker = "MARKER-outside-the-log-folder";

bool AnyUploadHolds(const CUploadRecorder& recorder, const std::string& text) {
    for (const auto& upload : recorder.Uploads()) {
        if (upload.body.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(SymbolicLinks, TargetsOfLinkedLogsNeverLeaveTheMachine) {
    CTempFolder outside;
    CTempFolder data;
    // A deflated entry would hide the marker's bytes, so the posted archives must also hold no
    // entry at all.
    const auto target = outside.Write("secret.txt", kMarker);
    data.Write("Ombrix/Log/.keep", "");
    const auto log = data.Path() / "Ombrix" / "Log";
    for (const char* name : {"OmbrixLog.4321.Runner.log", "OmbrixLog.4194305.Streamer.log"}) {
        ASSERT_EQ(symlink(target.c_str(), (log / name).c_str()), 0) << name;
    }
    CUploadRecorder recorder;
    const CRunContext context = TestRunContext(recorder.Url(), data.WidePath());
    EXPECT_EQ(RunLogSender("sendlogs S1 4321", context), 0);

    EXPECT_TRUE(recorder.Uploads().empty()) << "a link is no log: nothing is posted for it";
    EXPECT_EQ(outside.Read("secret.txt"), kMarker);
    EXPECT_EQ(data.Names(), std::vector<std::string>{"Ombrix"});
    EXPECT_EQ(VisibleNamesIn(log), std::vector<std::string>{}) << "both links are gone";
}

TEST(SymbolicLinks, ALinkAtTheArchiveNameIsClearedNeverWrittenThrough) {
    CTempFolder outside;
    CTempFolder folder;
    const auto target = outside.Write("secret.zip", kMarker);
    ASSERT_EQ(symlink(target.c_str(), (folder.Path() / "OmbrixLog.zip").c_str()), 0);
    folder.Write("OmbrixLog.1234", "log lines");
    CUploadRecorder recorder;
    CLogUploader().UploadLog(recorder.Url(), folder.WidePath(), u"OmbrixLog.1234", u"S1");
    ASSERT_EQ(recorder.Uploads().size(), 1u);
    EXPECT_FALSE(AnyUploadHolds(recorder, kMarker));
    EXPECT_EQ(outside.Read("secret.zip"), kMarker);
    EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
