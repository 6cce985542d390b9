// The logsender program end to end against the reference receiver (PHP's built-in server),
// in a temporary data folder. One test: the program is built with one loopback receiver
// address, so its scenarios must not run side by side.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "tests/app/reference_receiver.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_reader.h"

namespace {

const std::string kProgram = LOGSENDER_BINARY_DIR "/app/logsender_loopback";

// Linux never hands out a process identifier of 2^22 (the ceiling of pid_max) or more, so a
// log carrying this one is always swept.
const std::string kNoProcess = "4194304";

std::string ReceiverAddress() {
    std::ifstream in(LOGSENDER_BINARY_DIR "/app/loopback_receiver.txt");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class CEndToEnd {
public:
    CEndToEnd() { std::filesystem::create_directories(data_.Path() / "Ombrix" / "Log"); }

    std::filesystem::path LogPath(const std::string& name) const {
        return data_.Path() / "Ombrix" / "Log" / name;
    }
    void WriteLog(const std::string& name, const std::string& content) {
        data_.Write("Ombrix/Log/" + name, content);
    }
    std::vector<std::string> LogFolder() const { return VisibleNamesIn(data_.Path() / "Ombrix" / "Log"); }
    std::vector<std::string> Stored() const { return VisibleNamesIn(uploads_.Path()); }
    std::string StoredPath(const std::string& name) const {
        return (uploads_.Path() / name).string();
    }

    bool StartReceiver() { return receiver_.Start(uploads_.Path().string(), ReceiverAddress()); }
    void StopReceiver() { receiver_.Stop(); }

    // Runs the program with arguments; expects exit status 0 and no output.
    void Run(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv{kProgram};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        CChildProcess program;
        ASSERT_TRUE(program.Start(argv, {"XDG_DATA_HOME=" + data_.Path().string()}, true));
        int status = -1;
        ASSERT_TRUE(program.WaitForExit(std::chrono::seconds(60), status))
            << "the run must end within its time-outs";
        EXPECT_EQ(status, 0);
        EXPECT_EQ(program.Output(), "") << "the program prints nothing";
    }

private:
    CTempFolder data_;
    CTempFolder uploads_;
    CReferenceReceiver receiver_;
};

bool UnzipTestPasses(const std::string& archive) {
    CChildProcess unzip;
    int status = -1;
    return unzip.Start({"/bin/sh", "-c", "unzip -tq \"$1\"", "sh", archive}, {}, true) &&
           unzip.WaitForExit(std::chrono::seconds(30), status) && status == 0;
}

// The stored archive holds one entry named entryName whose bytes are original.
void ExpectArchiveOf(const std::string& path, const std::string& entryName,
                     const std::string& original) {
    EXPECT_TRUE(UnzipTestPasses(path)) << path;
    std::vector<CZipEntry> entries;
    ASSERT_TRUE(ReadZipEntries(path, entries)) << path;
    ASSERT_EQ(entries.size(), 1u) << path;
    EXPECT_EQ(entries[0].name, entryName);
    EXPECT_TRUE(entries[0].bytes == original) << path;
}

std::string LogText(const std::string& tag, int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += "2026-01-01 12:00:00 [" + tag + "] line " + std::to_string(i) + "\n";
    }
    return text;
}

TEST(EndToEnd, LogSenderAgainstTheReferenceReceiver) {
    CEndToEnd run;
    ASSERT_TRUE(run.StartReceiver()) << "php -S must listen at " << ReceiverAddress();

    CChildProcess product;
    ASSERT_TRUE(product.Start({"/bin/sh", "-c", "read x"}));
    const std::string live = "OmbrixLog." + std::to_string(product.Pid()) + ".Runner.log";
    const std::string streamer = LogText("streamer", 20000);
    const std::string runner = LogText("runner", 30000);
    {
        SCOPED_TRACE("the main job");
        run.WriteLog("OmbrixLog.4321.Streamer.log", streamer);
        run.WriteLog("OmbrixLog.4321.Runner.log", runner);
        run.WriteLog("OmbrixLog.abc.Runner.log", "left behind by an ended process\n");
        run.WriteLog(live, "still being written\n");
        run.Run({"sendlogs", "S1", "4321"});

        const auto stored = run.Stored();
        ASSERT_EQ(stored.size(), 3u);
        std::smatch match;
        const std::regex rotated(R"(S1\$OmbrixLog(\d{2,4})\.4321\.Runner\.zip)");
        ASSERT_TRUE(std::regex_match(stored[1], match, rotated)) << stored[1];
        const std::string n = match[1];
        EXPECT_EQ(stored[0], "S1$OmbrixLog.abc.Runner.zip");
        EXPECT_EQ(stored[2], "S1$OmbrixLog" + n + ".4321.Streamer.zip");
        ExpectArchiveOf(run.StoredPath(stored[1]), "OmbrixLog" + n + ".4321.Runner.log", runner);
        ExpectArchiveOf(run.StoredPath(stored[2]), "OmbrixLog" + n + ".4321.Streamer.log",
                        streamer);
        ExpectArchiveOf(run.StoredPath(stored[0]), "OmbrixLog.abc.Runner.log",
                        "left behind by an ended process\n");
        EXPECT_EQ(run.LogFolder(), std::vector<std::string>{live});
    }
    const auto storedBefore = run.Stored();
    {
        SCOPED_TRACE("command lines that do nothing");
        run.WriteLog("OmbrixLog." + kNoProcess + ".Runner.log", runner);
        run.Run({});
        run.Run({"SendLogs", "S1", kNoProcess});
        run.Run({"\xFF\xFEsendlogs", "S1", kNoProcess});
        EXPECT_EQ(run.Stored(), storedBefore);
        std::vector<std::string> expected{"OmbrixLog." + kNoProcess + ".Runner.log", live};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(run.LogFolder(), expected);
    }
    {
        SCOPED_TRACE("odd tokens");
        run.Run({"sendlogs", std::string(100 * 1024, 's'), std::string(100 * 1024, 'l')});
        run.Run({"sendlogs", "S\xFF\xC3",
                 "43\xFF"
                 "21"});
        EXPECT_EQ(run.LogFolder(), std::vector<std::string>{live})
            << "the left-behind current log is swept by the first of these runs";
    }
    {
        SCOPED_TRACE("receiver down");
        run.StopReceiver();
        run.WriteLog("OmbrixLog.4321.Runner.log", runner);
        run.Run({"sendlogs", "S1", "4321"});
        EXPECT_EQ(run.LogFolder(), std::vector<std::string>{live}) << "offered once, then gone";
    }
    std::ifstream in(run.LogPath(live));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
              "still being written\n");
}

}  // namespace
