// Bad input of POSIX file kinds: a FIFO named like a log and a log its owner may not read end
// the run quietly without stalling it, and nothing is posted for either: the FIFO, no log,
// goes, and the unreadable log stays for a run that can read it; a FIFO or a socket file that
// a running process holds stays where it is.
#include <sys/stat.h>

#include "tests/app/bad_input_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/permission_override.h"
#include "tests/support/upload_recorder.h"

namespace {

TEST_F(BadInput, UnreadableLogsDoNotStallTheRun) {
    ASSERT_EQ(mkfifo((data_.Path() / "Ombrix/Log/OmbrixLog.fifo.Runner.log").c_str(), 0600), 0);
    const auto locked = data_.Write("Ombrix/Log/OmbrixLog.locked.Runner.log", "locked");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    CUploadRecorder recorder;
    ASSERT_TRUE(RunWithoutPermissionOverride([&] {
        RunAndCheck("sendlogs S1 4321", recorder.Url(), std::chrono::seconds(30),
                    "unreadable logs");
    }));
    EXPECT_TRUE(recorder.Uploads().empty());
    EXPECT_FALSE(data_.Exists("Ombrix/Log/OmbrixLog.fifo.Runner.log"));
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
    EXPECT_EQ(data_.Read("Ombrix/Log/OmbrixLog.locked.Runner.log"), "locked");
}

// Whether something of the given kind (S_IFIFO, S_IFSOCK) is at path.
bool IsKindAt(const std::filesystem::path& path, mode_t kind) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 && (status.st_mode & S_IFMT) == kind;
}

TEST_F(BadInput, HeldFifosAndSocketsStayPut) {
    const auto log = data_.Path() / "Ombrix" / "Log";
    const auto fifo = log / "OmbrixLog.4194305.Runner.log";
    const auto socket = log / "OmbrixLog.4194309.Streamer.log";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CChildProcess fifoHolder;
    ASSERT_TRUE(fifoHolder.StartHolding(fifo.string()));
    CChildProcess listener;
    std::string line;
    ASSERT_TRUE(listener.Start({"python3", "-c",
                                "import socket, sys\n"
                                "s = socket.socket(socket.AF_UNIX)\n"
                                "s.bind(sys.argv[1])\n"
                                "s.listen()\n"
                                "print('ready', flush=True)\n"
                                "sys.stdin.read()\n",
                                socket.string()}) &&
                listener.ReadLine(line, std::chrono::seconds(10)) && line == "ready");

    CUploadRecorder recorder;
    RunAndCheck("sendlogs S1 4321", recorder.Url(), std::chrono::seconds(30), "held");
    EXPECT_TRUE(IsKindAt(fifo, S_IFIFO));
    EXPECT_TRUE(IsKindAt(socket, S_IFSOCK));

    fifoHolder.Kill();
    listener.Kill();
    RunAndCheck("sendlogs S1 4321", recorder.Url(), std::chrono::seconds(30), "let go");
    EXPECT_FALSE(data_.Exists("Ombrix/Log/OmbrixLog.4194305.Runner.log"));
    EXPECT_FALSE(data_.Exists("Ombrix/Log/OmbrixLog.4194309.Streamer.log"));
}

}  // namespace
