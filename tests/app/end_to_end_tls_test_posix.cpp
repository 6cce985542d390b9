// logsender_tls_loopback end to end: the program built with an https upload address and only
// the build's test authority as its trust (LOGSENDER_CA_FILE's way), against the reference
// receiver behind the nginx TLS front. With the server certificate the authority signed for
// that address the logs arrive whole; facing a certificate for another name the program sends
// nothing, and the logs are gone all the same (each is offered once). One test: the program
// posts to one fixed address, so its scenarios must not run side by side.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/app/tls_front.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_reader.h"

namespace {

const std::string kProgram = LOGSENDER_BINARY_DIR "/app/logsender_tls_loopback";
const std::string kCertificates = LOGSENDER_BINARY_DIR "/app/tls_test_pki/";

std::string FrontAddress() {
    std::ifstream in(LOGSENDER_BINARY_DIR "/app/tls_loopback_receiver.txt");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the product's two current logs of id 4321, runs "logsender sendlogs S1 4321" against a
// front with the given certificate, and returns what the receiver stored.
std::vector<std::string> RunAgainst(const std::string& certificate, const std::string& runner,
                                    const CTempFolder& uploads) {
    CTempFolder data;
    data.Write("Ombrix/Log/OmbrixLog.4321.Runner.log", runner);
    data.Write("Ombrix/Log/OmbrixLog.4321.Streamer.log", "streamer\n");
    CTlsFront front;
    EXPECT_TRUE(front.Start(uploads.Path().string(), FrontAddress(),
                            kCertificates + certificate + ".pem",
                            kCertificates + certificate + ".key"))
        << "nginx and php must serve at " << FrontAddress();
    CChildProcess program;
    EXPECT_TRUE(program.Start({kProgram, "sendlogs", "S1", "4321"},
                              {"XDG_DATA_HOME=" + data.Path().string()}, true));
    int status = -1;
    EXPECT_TRUE(program.WaitForExit(std::chrono::seconds(60), status));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(program.Output(), "");
    EXPECT_EQ(VisibleNamesIn(data.Path() / "Ombrix" / "Log"), std::vector<std::string>{})
        << "every log is offered once and deleted";
    return VisibleNamesIn(uploads.Path());
}

TEST(EndToEndTls, LogsArriveOverTlsAndNothingGoesToAServerOfAnotherName) {
    std::string runner;
    for (int i = 0; i < 20000; ++i) {
        runner += "2026-01-01 12:00:00 [runner] line " + std::to_string(i) + "\n";
    }
    {
        SCOPED_TRACE("the certificate the authority signed for the address");
        CTempFolder uploads;
        const auto stored = RunAgainst("server", runner, uploads);
        ASSERT_EQ(stored.size(), 2u);
        EXPECT_EQ(stored[0].rfind("S1$OmbrixLog", 0), 0u) << stored[0];
        std::vector<CZipEntry> entries;
        ASSERT_TRUE(ReadZipEntries((uploads.Path() / stored[0]).string(), entries));
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_TRUE(entries[0].bytes == runner) << "the runner log arrives whole";
    }
    {
        SCOPED_TRACE("a certificate for another name");
        CTempFolder uploads;
        EXPECT_EQ(RunAgainst("other-name", runner, uploads), std::vector<std::string>{});
    }
}

}  // namespace
