// Bad input of POSIX file kinds: a FIFO named like a log and a log its owner may not read end
// the run quietly, each offered once, without stalling it.
#include <sys/stat.h>

#include "tests/app/bad_input_fixture.h"
#include "tests/support/upload_recorder.h"

namespace {

TEST_F(BadInput, UnreadableLogsDoNotStallTheRun) {
    ASSERT_EQ(mkfifo((data_.Path() / "Ombrix/Log/OmbrixLog.fifo.Runner.log").c_str(), 0600), 0);
    const auto locked = data_.Write("Ombrix/Log/OmbrixLog.locked.Runner.log", "locked");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    CUploadRecorder recorder;
    RunAndCheck("sendlogs S1 4321", recorder.Url(), std::chrono::seconds(30), "unreadable logs");
    EXPECT_EQ(recorder.Uploads().size(), 2u) << "each is offered once";
}

}  // namespace
