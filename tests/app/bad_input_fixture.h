// The fixture of the bad-input tests: a data folder with the log of a running product process
// and files beside the log folder, and a run that must return 0 within a bound, change nothing
// outside the log folder and leave the running process's log as it was.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "app/run_flow.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_run_context.h"

class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(product_.StartIdle());
        liveName_ = "Ombrix/Log/OmbrixLog." + std::to_string(product_.Pid()) + ".Runner.log";
        data_.Write(liveName_, "live log of a running process");
        data_.Write("Ombrix/other.txt", "next to the log folder");
        data_.Write("unrelated/file.txt", "elsewhere");
        before_ = Snapshot();
    }

    // Relative path (with "/") -> content of every file under the data folder, the log folder
    // left out.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(data_.Path())) {
            const auto relative =
                std::filesystem::relative(entry.path(), data_.Path()).generic_string();
            if (relative.rfind("Ombrix/Log", 0) == 0) {
                continue;
            }
            files[relative] = entry.is_regular_file() ? data_.Read(relative) : "<folder>";
        }
        return files;
    }

    // Runs with the given address; checks exit status, elapsed time and what must not change.
    void RunAndCheck(const std::string& commandLine, const std::u16string& url,
                     std::chrono::seconds bound, const char* what) {
        const CRunContext context = TestRunContext(url, data_.WidePath());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RunLogSender(commandLine, context), 0) << what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, bound) << what;
        EXPECT_EQ(Snapshot(), before_) << what;
        if (!liveName_.empty()) {
            EXPECT_EQ(data_.Read(liveName_), "live log of a running process") << what;
        }
    }

    CChildProcess product_;
    CTempFolder data_;
    std::string liveName_;
    std::map<std::string, std::string> before_;
};
