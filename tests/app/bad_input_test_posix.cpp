// Bad input and bad receivers, in-process: every run returns 0 within the bounds the
// time-outs give, changes nothing outside the log folder, and never touches the log of a
// running process.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "app/run_flow.h"
#include "platform/text_conversion.h"
#include "tests/support/child_process.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/upload_recorder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Relative path -> content of every file under root, the log folder left out.
std::map<std::string, std::string> Snapshot(const CTempFolder& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root.Path())) {
        const auto relative = std::filesystem::relative(entry.path(), root.Path()).string();
        if (relative.rfind("Ombrix/Log", 0) == 0) {
            continue;
        }
        files[relative] = entry.is_regular_file() ? root.Read(relative) : "<folder>";
    }
    return files;
}

class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(product_.Start({"/bin/sh", "-c", "read x"}));
        liveName_ = "Ombrix/Log/OmbrixLog." + std::to_string(product_.Pid()) + ".Runner.log";
        data_.Write(liveName_, "live log of a running process");
        data_.Write("Ombrix/other.txt", "next to the log folder");
        data_.Write("unrelated/file.txt", "elsewhere");
        before_ = Snapshot(data_);
    }

    // Runs with the given address; checks exit status, elapsed time and what must not change.
    void RunAndCheck(const std::string& commandLine, const std::u16string& url,
                     std::chrono::seconds bound, const char* what) {
        CRunContext context;
        context.productWord = u"Ombrix";
        context.uploadAddress = url;
        context.appDataFolder = data_.WidePath();
        context.seed = 59;
        const auto start = Clock::now();
        EXPECT_EQ(RunLogSender(commandLine, context), 0) << what;
        EXPECT_LT(Clock::now() - start, bound) << what;
        EXPECT_EQ(Snapshot(data_), before_) << what;
        if (!liveName_.empty()) {
            EXPECT_EQ(data_.Read(liveName_), "live log of a running process") << what;
        }
    }

    CChildProcess product_;
    CTempFolder data_;
    std::string liveName_;
    std::map<std::string, std::string> before_;
};

TEST_F(BadInput, OddCommandLinesEndQuietly) {
    CUploadRecorder recorder;
    const std::string big(100 * 1024, 'x');
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"wrong command word", "upload S1 4321"},
        {"100 KB session identifier", "sendlogs " + big + " 4321"},
        {"100 KB log identifier", "sendlogs S1 " + big},
        {"100 KB command word", big + " S1 4321"},
        {"bytes that are not UTF-8",
         "sendlogs S\xFF\xFE\x80 43\xC3\x28"
         "21"},
        {"non-UTF-8 command word", "send\xFFlogs S1 4321"},
    };
    for (const auto& [what, line] : cases) {
        data_.Write("Ombrix/Log/OmbrixLog.4321.Runner.log", "current");
        RunAndCheck(line, recorder.Url(), std::chrono::seconds(30), what);
    }
}

TEST_F(BadInput, MissingLogFolderIsNotCreated) {
    std::filesystem::remove_all(data_.Path() / "Ombrix" / "Log");
    before_ = Snapshot(data_);
    liveName_.clear();
    CUploadRecorder recorder;
    RunAndCheck("sendlogs S1 4321", recorder.Url(), std::chrono::seconds(30), "no log folder");
    EXPECT_FALSE(data_.Exists("Ombrix/Log"));
    EXPECT_TRUE(recorder.Uploads().empty());
}

TEST_F(BadInput, UnreadableLogsDoNotStallTheRun) {
    ASSERT_EQ(mkfifo((data_.Path() / "Ombrix/Log/OmbrixLog.fifo.Runner.log").c_str(), 0600), 0);
    const auto locked = data_.Write("Ombrix/Log/OmbrixLog.locked.Runner.log", "locked");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    CUploadRecorder recorder;
    RunAndCheck("sendlogs S1 4321", recorder.Url(), std::chrono::seconds(30), "unreadable logs");
    EXPECT_EQ(recorder.Uploads().size(), 2u) << "each is offered once";
}

TEST_F(BadInput, BadReceiversEndTheRunWithinTheTimeOut) {
    std::u16string downUrl;
    {
        CUploadRecorder closed;
        downUrl = closed.Url();
    }
    CLoopbackServer silent([](CLoopbackConnection& connection) { connection.Idle(); },
                           CLoopbackServer::Family::kIpv4, std::chrono::seconds(60));
    CLoopbackServer garbage(
        [](CLoopbackConnection& connection) {
            std::string head;
            connection.ReadUntil("\r\n\r\n", head);
            connection.Write("\x01\x02 not HTTP at all \xFF\r\n\r\n");
            connection.Close();
        },
        CLoopbackServer::Family::kIpv4, std::chrono::seconds(60));
    const auto urlOf = [](const CLoopbackServer& server) {
        return NarrowToWide("http://127.0.0.1:" + std::to_string(server.Port()) +
                            "/scripts/uploadUserLog.php");
    };
    const std::pair<const char*, std::u16string> cases[] = {
        {"receiver down", downUrl},
        {"accepts and never answers", urlOf(silent)},
        {"answers garbage", urlOf(garbage)},
    };
    for (const auto& [what, url] : cases) {
        data_.Write("Ombrix/Log/OmbrixLog.4321.Runner.log", "current");
        // One upload with the client's 10 s time-out on each wait.
        RunAndCheck("sendlogs S1 4321", url, std::chrono::seconds(35), what);
        EXPECT_FALSE(data_.Exists("Ombrix/Log/OmbrixLog07.4321.Runner.log")) << what;
        EXPECT_FALSE(data_.Exists("Ombrix/Log/OmbrixLog07.4321.Runner.zip")) << what;
    }
}

}  // namespace
