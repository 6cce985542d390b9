// Bad input and bad receivers, in-process: every run returns 0 within the bounds the
// time-outs give, changes nothing outside the log folder, and never touches the log of a
// running process.
#include <string>

#include "platform/text_conversion.h"
#include "tests/app/bad_input_fixture.h"
#include "tests/support/loopback_server.h"
#include "tests/support/upload_recorder.h"

namespace {

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
        {"bytes code page 1252 leaves undefined",
         "sendlogs S\x81 43\x8D\x90"
         "21"},
        {"non-UTF-8 command word", "send\xFFlogs S1 4321"},
        {"quoted identifiers", "sendlogs \"S1\" \"4321\""},
        {"quote inside the log identifier", "sendlogs S1 43\"21"},
        {"tabs inside the tokens", "sendlogs S\t1 43\t21"},
        {"line ends inside the tokens", "sendlogs S1\r\n 43\r\n21"},
        {"wildcards in the log identifier", "sendlogs S1 *"},
    };
    for (const auto& [what, line] : cases) {
        data_.Write("Ombrix/Log/OmbrixLog.4321.Runner.log", "current");
        RunAndCheck(line, recorder.Url(), std::chrono::seconds(30), what);
    }
}

// A log identifier that would put a path into the names the run builds: with folders in the
// log folder that the ".." steps would pass through, the files they lead to lie outside it.
TEST_F(BadInput, IdentifiersThatWouldLeaveTheFolderTouchNothing) {
    for (const char* folder : {"OmbrixLog.x", "OmbrixLog07.x"}) {
        std::filesystem::create_directories(data_.Path() / "Ombrix" / "Log" / folder);
    }
    for (const char* kind : {"Streamer", "Runner"}) {
        data_.Write(std::string("outside/victim.") + kind + ".log", "not a log of ours");
    }
    before_ = Snapshot();
    CUploadRecorder recorder;
    for (const char* id : {"x/../../../outside/victim", "x\\..\\..\\..\\outside\\victim"}) {
        RunAndCheck(std::string("sendlogs S1 ") + id, recorder.Url(), std::chrono::seconds(30), id);
    }
    for (const auto& upload : recorder.Uploads()) {
        EXPECT_EQ(upload.body.find("not a log of ours"), std::string::npos) << upload.fileName;
    }
}

TEST_F(BadInput, MissingLogFolderIsNotCreated) {
    std::filesystem::remove_all(data_.Path() / "Ombrix" / "Log");
    before_ = Snapshot();
    liveName_.clear();
    CUploadRecorder recorder;
    RunAndCheck("sendlogs S1 4321", recorder.Url(), std::chrono::seconds(30), "no log folder");
    EXPECT_FALSE(data_.Exists("Ombrix/Log"));
    EXPECT_TRUE(recorder.Uploads().empty());
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
