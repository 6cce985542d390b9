// The run flow in-process, with a recording receiver, a temporary data folder and pinned
// seeds: the command word, the rotation of the current logs, the sweep, and what is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/log_names.h"
#include "app/log_sender_entry.h"
#include "app/run_flow.h"
#include "platform/text_conversion.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_run_context.h"
#include "tests/support/upload_recorder.h"
#include "tests/support/zip_reader.h"

namespace {

// Seeds whose first draw gives the rotation numbers the tests need.
constexpr std::uint32_t kSeedFor0 = 10023;     // r = 1
constexpr std::uint32_t kSeedFor1000 = 30091;  // r = 32767

const std::string kLog = "Ombrix/Log/";

// A log carrying this identifier always belongs to a process that is not running: Linux never
// hands out an identifier of 2^22 (the ceiling of pid_max) or more, and Windows hands out
// multiples of 4 only.
const std::string kNoProcess = "4194305";

// Posted file name -> the name and bytes of the archive's one entry ("", "" for none).
using Posted = std::map<std::string, std::pair<std::string, std::string>>;

class RunFlow : public ::testing::Test {
protected:
    int Run(const std::string& commandLine, std::uint32_t seed = kSeedFor7) {
        return RunLogSender(commandLine, TestRunContext(recorder_.Url(), data_.WidePath(), seed));
    }
    void WriteLog(const std::string& name, const std::string& content) {
        data_.Write(kLog + name, content);
    }
    std::vector<std::string> LogFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(data_.Path() / kLog)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    Posted PostedArchives() const { return PostedArchives(recorder_); }
    static Posted PostedArchives(const CUploadRecorder& recorder) {
        Posted posted;
        for (const auto& upload : recorder.Uploads()) {
            std::vector<CZipEntry> entries;
            EXPECT_TRUE(upload.wellFormed && ReadZipBytes(upload.archive, entries));
            EXPECT_LE(entries.size(), 1u);
            posted[upload.fileName] = entries.empty()
                                          ? std::make_pair(std::string(), std::string())
                                          : std::make_pair(entries[0].name, entries[0].bytes);
        }
        return posted;
    }

    CTempFolder data_;
    CUploadRecorder recorder_;
};

TEST(RunFlowParts, RotationNumberIsTheIntegerQuotient) {
    const std::pair<int, int> cases[] = {{0, 0},       {32, 0},      {33, 1},  {229, 6},
                                         {230, 7},     {262, 7},     {263, 8}, {32734, 998},
                                         {32766, 999}, {32767, 1000}};
    for (const auto& [draw, number] : cases) {
        EXPECT_EQ(RotationNumberOf(draw), number) << "draw " << draw;
    }
    for (int draw = 0; draw <= 32767; ++draw) {
        ASSERT_EQ(RotationNumberOf(draw), 1000 * draw / 32767) << "draw " << draw;
    }
}

TEST(RunFlowParts, SweptNamesCarryTheirProcessIdentifier) {
    const std::pair<std::u16string, std::uint32_t> cases[] = {
        {u"OmbrixLog.4321.Runner.log", 4321},
        {u"OmbrixLog.0042.Runner.log", 42},
        {u"OmbrixLog.0.Runner.log", 0},
        {u"OmbrixLog.abc.Runner.log", 0},
        {u"OmbrixLog.Streamer.log", 0},
        {u"OmbrixLog.1234", 1234},
        {u"OmbrixLog.", 0},
        {u"OmbrixLog. \t12.Runner.log", 12},
        {u"OmbrixLog.+7.Runner.log", 7},
        {u"OmbrixLog.-1.Runner.log", 0xFFFFFFFFU},
        {u"OmbrixLog.4294967297.Runner.log", 2147483647U},
        {u"OmbrixLog.99999999999999999999.Runner.log", 2147483647U},
        {u"OmbrixLog07.4321.Runner.log", 4321},
        {u"OmbrixLog1000.0042.Streamer.log", 42},
        {u"OmbrixLog07.abc.Runner.log", 0},
        {u"OmbrixLog07.1.2.Runner.log", 1},
    };
    for (const auto& [name, id] : cases) {
        EXPECT_EQ(ProcessIdOfLogName(name), id) << WideToNarrow(name);
    }
}

TEST(RunFlowParts, RotatedLogNamesAreTheOnesARunMakes) {
    const std::pair<std::u16string, bool> cases[] = {
        {u"OmbrixLog07.4321.Runner.log", true},
        {u"OmbrixLog1000.4321.Streamer.log", true},
        {u"OmbrixLog7.a.b.Runner.log", true},
        {u"OmbrixLog07.NoSessionId.Streamer.log", true},
        {u"OmbrixLog.4321.Runner.log", false},
        {u"OmbrixLog07..Runner.log", false},
        {u"OmbrixLog07.Runner.log", false},
        {u"OmbrixLogx7.4321.Runner.log", false},
        {u"OmbrixLog07.4321.Runner.zip", false},
        {u"OmbrixLog07.4321.runner.log", false},
        {u"ombrixlog07.4321.Runner.log", false},
        {u"OmbrixLog07.4321.Other.log", false},
        {u"OmbrixLog07", false},
    };
    for (const auto& [name, rotated] : cases) {
        EXPECT_EQ(IsRotatedLogName(name), rotated) << WideToNarrow(name);
    }
}

TEST(RunFlowParts, ArgumentsAreJoinedWithSingleBlanks) {
    const char* const argv[] = {"logsender", "sendlogs", "S1", "4321"};
    EXPECT_EQ(JoinArguments(4, argv), "sendlogs S1 4321");
    EXPECT_EQ(JoinArguments(1, argv), "");
    const char* const withEmpty[] = {"logsender", "sendlogs", "", "4321"};
    EXPECT_EQ(JoinArguments(4, withEmpty), "sendlogs  4321");
}

TEST_F(RunFlow, WrongOrMissingCommandWordTouchesNothing) {
    WriteLog("OmbrixLog.4321.Streamer.log", "s");
    WriteLog("OmbrixLog.4321.Runner.log", "r");
    WriteLog("OmbrixLog.abc.Runner.log", "left behind");
    const auto before = LogFolder();
    for (const char* line : {"", "   ", "SendLogs S1 4321", "sendlog S1 4321", "sendlogsX S1 4321",
                             "\tsendlogs S1 4321", "x sendlogs S1 4321"}) {
        EXPECT_EQ(Run(line), 0) << line;
        EXPECT_EQ(LogFolder(), before) << line;
    }
    EXPECT_TRUE(recorder_.Uploads().empty());
}

TEST_F(RunFlow, NoApplicationDataFolderTouchesNothing) {
    WriteLog("OmbrixLog.4321.Runner.log", "r");
    const CRunContext context = TestRunContext(recorder_.Url(), std::nullopt);
    EXPECT_EQ(RunLogSender("sendlogs S1 4321", context), 0);
    EXPECT_EQ(LogFolder(), std::vector<std::string>{"OmbrixLog.4321.Runner.log"});
    EXPECT_TRUE(recorder_.Uploads().empty());
}

TEST_F(RunFlow, CurrentLogsAreSetAsideAndSentStreamerFirst) {
    WriteLog("OmbrixLog.4321.Streamer.log", "streamer");
    WriteLog("OmbrixLog.4321.Runner.log", "runner");
    EXPECT_EQ(Run("  sendlogs  S1   4321  "), 0);
    EXPECT_EQ(recorder_.FileNames(), (std::vector<std::string>{"S1$OmbrixLog07.4321.Streamer.zip",
                                                               "S1$OmbrixLog07.4321.Runner.zip"}));
    EXPECT_EQ(
        PostedArchives(),
        (Posted{{"S1$OmbrixLog07.4321.Streamer.zip", {"OmbrixLog07.4321.Streamer.log", "streamer"}},
                {"S1$OmbrixLog07.4321.Runner.zip", {"OmbrixLog07.4321.Runner.log", "runner"}}}));
    EXPECT_TRUE(LogFolder().empty());
}

TEST_F(RunFlow, RotationNumberFollowsTheSeed) {
    const std::pair<std::uint32_t, std::string> cases[] = {
        {kSeedFor0, "00"}, {kSeedFor7, "07"}, {kSeedFor1000, "1000"}};
    int expectedUploads = 0;
    for (const auto& [seed, number] : cases) {
        WriteLog("OmbrixLog.4321.Runner.log", "runner");
        EXPECT_EQ(Run("sendlogs S1 4321", seed), 0);
        ++expectedUploads;
        const auto names = recorder_.FileNames();
        ASSERT_EQ(names.size(), static_cast<std::size_t>(expectedUploads));
        EXPECT_EQ(names.back(), "S1$OmbrixLog" + number + ".4321.Runner.zip");
    }
}

TEST_F(RunFlow, MissingTokensTakeTheirDefaults) {
    WriteLog("OmbrixLog.NoSessionId.Runner.log", "a");
    EXPECT_EQ(Run("sendlogs"), 0);
    WriteLog("OmbrixLog.S2.Runner.log", "b");
    EXPECT_EQ(Run("sendlogs S2"), 0);
    EXPECT_EQ(recorder_.FileNames(),
              (std::vector<std::string>{"NoSessionId$OmbrixLog07.NoSessionId.Runner.zip",
                                        "S2$OmbrixLog07.S2.Runner.zip"}));
}

// A rotated name already taken is never cleared: the run takes the next free number (wrapping
// past 1000 to 0), and the left-over is swept as a log that was never sent.
TEST_F(RunFlow, ALeftOverRotatedLogIsKeptAndSentItself) {
    const struct {
        std::uint32_t seed;
        std::vector<std::string> taken;
        std::string number;
    } cases[] = {
        {kSeedFor7, {"OmbrixLog07." + kNoProcess + ".Runner.log"}, "08"},
        {kSeedFor7,
         {"OmbrixLog07." + kNoProcess + ".Streamer.log",
          "OmbrixLog08." + kNoProcess + ".Runner.log"},
         "09"},
        {kSeedFor1000, {"OmbrixLog1000." + kNoProcess + ".Runner.log"}, "00"},
    };
    for (const auto& c : cases) {
        CUploadRecorder recorder;
        Posted expected;
        for (const std::string& name : c.taken) {
            WriteLog(name, "left over: " + name);
            expected["S1$" + name.substr(0, name.size() - 4) + ".zip"] = {name,
                                                                          "left over: " + name};
        }
        WriteLog("OmbrixLog." + kNoProcess + ".Runner.log", "current");
        const std::string rotated = "OmbrixLog" + c.number + "." + kNoProcess + ".Runner";
        expected["S1$" + rotated + ".zip"] = {rotated + ".log", "current"};
        EXPECT_EQ(RunLogSender("sendlogs S1 " + kNoProcess,
                               TestRunContext(recorder.Url(), data_.WidePath(), c.seed)),
                  0);
        EXPECT_EQ(recorder.FileNames().at(0), "S1$" + rotated + ".zip") << c.number;
        EXPECT_EQ(PostedArchives(recorder), expected) << c.number;
        EXPECT_TRUE(LogFolder().empty()) << c.number;
    }
}

TEST_F(RunFlow, OnlyTheRunnerLogPresentStillSweeps) {
    WriteLog("OmbrixLog.4321.Runner.log", "runner");
    WriteLog("OmbrixLog.abc.Runner.log", "left behind");
    EXPECT_EQ(Run("sendlogs S1 4321"), 0);
    EXPECT_EQ(recorder_.FileNames(), (std::vector<std::string>{"S1$OmbrixLog07.4321.Runner.zip",
                                                               "S1$OmbrixLog.abc.Runner.zip"}));
    EXPECT_TRUE(LogFolder().empty());
}

TEST_F(RunFlow, ACurrentLogHeldOpenStaysWhereItIs) {
    CChildProcess product;
    // The product's log identifier is its process identifier, as the sweep expects.
    ASSERT_TRUE(product.StartIdle());
    const std::string id = std::to_string(product.Pid());
    const auto streamer = data_.Write(kLog + "OmbrixLog." + id + ".Streamer.log", "live");
    WriteLog("OmbrixLog." + id + ".Runner.log", "runner");
    CChildProcess holder;
    ASSERT_TRUE(holder.StartHolding(streamer.string()));
    EXPECT_EQ(Run("sendlogs S1 " + id), 0);
    EXPECT_EQ(recorder_.FileNames(),
              std::vector<std::string>{"S1$OmbrixLog07." + id + ".Runner.zip"});
    EXPECT_EQ(LogFolder(), std::vector<std::string>{"OmbrixLog." + id + ".Streamer.log"});
    holder.Kill();  // Windows lets nobody read a file held without sharing, the test included
    EXPECT_EQ(data_.Read(kLog + "OmbrixLog." + id + ".Streamer.log"), "live");
}

// The run's clock in the deadline test: four minutes pass with each upload the receiver took.
const CUploadRecorder* g_pacingRecorder = nullptr;

std::chrono::steady_clock::time_point FourMinutesAnUpload() {
    return std::chrono::steady_clock::time_point() + std::chrono::hours(1) +
           std::chrono::minutes(4) * g_pacingRecorder->Uploads().size();
}

TEST_F(RunFlow, NoUploadStartsOnceTheRunsTimeIsOver) {
    WriteLog("OmbrixLog." + kNoProcess + ".Streamer.log", "streamer");
    WriteLog("OmbrixLog." + kNoProcess + ".Runner.log", "runner");
    for (const char* name :
         {"OmbrixLog.a.Runner.log", "OmbrixLog.b.Runner.log", "OmbrixLog.c.Runner.log"}) {
        WriteLog(name, name);
    }
    g_pacingRecorder = &recorder_;
    CRunContext context = TestRunContext(recorder_.Url(), data_.WidePath());
    context.now = &FourMinutesAnUpload;
    EXPECT_EQ(RunLogSender("sendlogs S1 " + kNoProcess, context), 0);
    ASSERT_EQ(recorder_.Uploads().size(), 3u) << "uploads start at 0, 4 and 8 minutes, not at 12";
    const auto posted = PostedArchives();
    EXPECT_EQ(posted.count("S1$OmbrixLog07." + kNoProcess + ".Streamer.zip"), 1u);
    EXPECT_EQ(posted.count("S1$OmbrixLog07." + kNoProcess + ".Runner.zip"), 1u);
    const auto left = LogFolder();
    ASSERT_EQ(left.size(), 2u) << "the logs not started stay";
    for (const auto& name : left) {
        EXPECT_EQ(data_.Read(kLog + name), name);
    }
}

TEST_F(RunFlow, SweepSparesRunningProcessesAndSendsTheRest) {
    CChildProcess product;
    ASSERT_TRUE(product.StartIdle());
    const std::string id = std::to_string(product.Pid());
    WriteLog("OmbrixLog." + id + ".Runner.log", "running");
    WriteLog("OmbrixLog.00" + id + ".Streamer.log", "running, leading zeros");
    WriteLog("OmbrixLog07." + id + ".Runner.log", "running, set aside");
    WriteLog("OmbrixLog.Streamer.log", "no identifier");
    WriteLog("OmbrixLog.abc.Runner.log", "identifier abc");
    WriteLog("OmbrixLog07." + kNoProcess + ".Runner.log", "set aside, never sent");
    WriteLog("OmbrixLog." + kNoProcess + ".Runner.zip", "PK left-over archive");
    WriteLog("OmbrixLog07." + kNoProcess + ".Runner.zip", "PK left-over archive");
    EXPECT_EQ(Run("sendlogs S1 4321"), 0);
    EXPECT_EQ(
        PostedArchives(),
        (Posted{{"S1$OmbrixLog.Streamer.zip", {"OmbrixLog.Streamer.log", "no identifier"}},
                {"S1$OmbrixLog.abc.Runner.zip", {"OmbrixLog.abc.Runner.log", "identifier abc"}},
                {"S1$OmbrixLog07." + kNoProcess + ".Runner.zip",
                 {"OmbrixLog07." + kNoProcess + ".Runner.log", "set aside, never sent"}}}));
    EXPECT_EQ(LogFolder(), (std::vector<std::string>{"OmbrixLog.00" + id + ".Streamer.log",
                                                     "OmbrixLog." + id + ".Runner.log",
                                                     "OmbrixLog07." + id + ".Runner.log"}))
        << "a left-over archive is removed, never posted";

    product.Kill();
    EXPECT_EQ(Run("sendlogs S1 4321"), 0);
    EXPECT_TRUE(LogFolder().empty());
    EXPECT_EQ(recorder_.Uploads().size(), 6u);
}

}  // namespace
