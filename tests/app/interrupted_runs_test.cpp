// Runs that end midway and runs that meet, with the run as a program of its own
// (logsender_test_run): a run stopped dead after setting a log aside, or while its receiver
// holds an upload, loses no log, since the next run sends what was never sent and clears what
// the stopped one left; two runs started together send every log exactly once, each archive
// whole. On Windows the stops are TerminateProcess of the program.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "app/run_flow.h"
#include "tests/support/child_process.h"
#include "tests/support/stand_in_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_run_context.h"
#include "tests/support/upload_recorder.h"
#include "tests/support/zip_reader.h"

namespace {

using namespace std::chrono_literals;

// Identifiers no running process carries: Linux never hands out 2^22 or more, Windows hands out
// multiples of 4 only.
const std::string kLogId = "4194305";
const std::string kOtherLogId = "4194309";
const std::string kLog = "Ombrix/Log/";
constexpr int kKilledStatus = 137;  // 128 + SIGKILL; the exit code TerminateProcess is given

// Log name -> its bytes, as the product left them.
using Logs = std::map<std::string, std::string>;

Logs WriteLogs(const CTempFolder& data, const std::vector<std::string>& ids, int swept) {
    Logs logs;
    for (const std::string& id : ids) {
        for (const char* kind : {"Streamer", "Runner"}) {
            logs["OmbrixLog." + id + "." + kind + ".log"] = id + " " + kind + " lines\n";
        }
    }
    for (int i = 0; i < swept; ++i) {
        logs["OmbrixLog.ended" + std::to_string(i) + ".Runner.log"] =
            "left behind " + std::to_string(i);
    }
    for (const auto& [name, bytes] : logs) {
        data.Write(kLog + name, bytes);
    }
    return logs;
}

// How often each log's bytes arrived whole, over every recorder; archives without exactly one
// entry are counted under "".
std::map<std::string, int> Arrivals(const std::vector<const CUploadRecorder*>& recorders) {
    std::map<std::string, int> arrived;
    for (const CUploadRecorder* recorder : recorders) {
        for (const auto& upload : recorder->Uploads()) {
            std::vector<CZipEntry> entries;
            const bool whole = upload.wellFormed && ReadZipBytes(upload.archive, entries) &&
                               entries.size() == 1 && entries[0].crcMatches;
            ++arrived[whole ? entries[0].bytes : std::string()];
        }
    }
    return arrived;
}

bool StartRun(CChildProcess& run, const CTempFolder& data, const CUploadRecorder& recorder,
              const std::string& stop, const std::string& logId) {
    std::string url;
    for (const char16_t c : recorder.Url()) {
        url += static_cast<char>(c);
    }
    return run.Start({TestProgram("logsender_test_run"), data.Path().string(), url, stop,
                      "sendlogs", "S1", logId});
}

struct KillRow {
    const char* name;
    const char* stop;  // the run ends itself right after setting this log aside
    int stallOn;       // the receiver holds this upload and the test ends the run; 0: none
};

TEST(InterruptedRuns, ARunStoppedAnywhereLosesNoLog) {
    const KillRow rows[] = {
        {"after the first rename", "streamer", 0}, {"after the second rename", "runner", 0},
        {"during the first upload", "none", 1},    {"during the second upload", "none", 2},
        {"during the sweep", "none", 3},
    };
    for (const auto& row : rows) {
        CTempFolder data;
        const Logs logs = WriteLogs(data, {kLogId}, 2);
        CRecorderBehaviour stalling;
        stalling.stallOn = row.stallOn;
        CUploadRecorder first(stalling);
        CChildProcess run;
        ASSERT_TRUE(StartRun(run, data, first, row.stop, kLogId)) << row.name;
        int status = -1;
        if (row.stallOn != 0) {
            ASSERT_TRUE(first.WaitForConnections(row.stallOn, 30s)) << row.name;
            run.Kill();
        } else {
            ASSERT_TRUE(run.WaitForExit(30s, status)) << row.name;
            EXPECT_EQ(status, kKilledStatus) << row.name;
        }
        CUploadRecorder second;
        EXPECT_EQ(
            RunLogSender("sendlogs S1 " + kLogId, TestRunContext(second.Url(), data.WidePath())),
            0);
        const auto arrived = Arrivals({&first, &second});
        for (const auto& [name, bytes] : logs) {
            EXPECT_GE(arrived.count(bytes), 1u) << row.name << ": " << name;
        }
        EXPECT_EQ(arrived.count(""), 0u) << row.name << ": no archive without its log";
        EXPECT_EQ(VisibleNamesIn(data.Path() / kLog), std::vector<std::string>{})
            << row.name << ": no rotated log or archive is left";
    }
}

// Both runs race for the same logs: the current ones when they share the identifier, the swept
// ones always. Whatever one run holds the other leaves alone, so a log is sent once; what both
// left in passing is sent by the run after them.
TEST(InterruptedRuns, TwoRunsAtOnceSendEachLogOnce) {
    const struct {
        const char* name;
        std::string secondId;
    } rows[] = {{"same identifier", kLogId}, {"different identifiers", kOtherLogId}};
    for (const auto& row : rows) {
        for (int trial = 0; trial < 4; ++trial) {
            CTempFolder data;
            const Logs logs = WriteLogs(data, {kLogId, row.secondId}, 12);
            CUploadRecorder recorder;
            CChildProcess one;
            CChildProcess two;
            ASSERT_TRUE(StartRun(one, data, recorder, "none", kLogId)) << row.name;
            ASSERT_TRUE(StartRun(two, data, recorder, "none", row.secondId)) << row.name;
            int status = -1;
            ASSERT_TRUE(one.WaitForExit(60s, status)) << row.name;
            ASSERT_TRUE(two.WaitForExit(60s, status)) << row.name;
            EXPECT_EQ(RunLogSender("sendlogs S1 " + kLogId,
                                   TestRunContext(recorder.Url(), data.WidePath())),
                      0);
            const auto arrived = Arrivals({&recorder});
            for (const auto& [name, bytes] : logs) {
                EXPECT_EQ(arrived.count(bytes) ? arrived.at(bytes) : 0, 1)
                    << row.name << " " << trial << ": " << name;
            }
            EXPECT_EQ(arrived.count(""), 0u) << row.name << ": no empty or broken archive";
            EXPECT_EQ(VisibleNamesIn(data.Path() / kLog), std::vector<std::string>{}) << row.name;
        }
    }
}

}  // namespace
