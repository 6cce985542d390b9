// The upload job against a recording loopback receiver: what is posted for each kind of log
// (the archive read back from the wire), and that afterwards neither log nor archive exists.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/log_uploader.h"
#include "platform/text_conversion.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/upload_recorder.h"
#include "tests/support/zip_reader.h"

namespace {

// Entries of the one posted archive; fails the test when there is not exactly one upload.
std::vector<CZipEntry> PostedEntries(const CUploadRecorder& recorder) {
    const auto uploads = recorder.Uploads();
    std::vector<CZipEntry> entries;
    EXPECT_EQ(uploads.size(), 1u);
    if (uploads.size() == 1) {
        EXPECT_TRUE(uploads[0].wellFormed);
        EXPECT_TRUE(ReadZipBytes(uploads[0].archive, entries)) << "posted bytes are an archive";
    }
    return entries;
}

struct JobCase {
    const char* name;
    std::string logName;
    std::string content;  // written as the log unless missing
    bool missing;
    std::string postedName;
    bool entry;  // the posted archive holds one entry with the content
};

TEST(UploadJob, PostsTheArchiveAndLeavesNothingBehind) {
    const JobCase cases[] = {
        {"rotated log", "OmbrixLog07.4321.Streamer.log", "streamer lines\n", false,
         "S1$OmbrixLog07.4321.Streamer.zip", true},
        {"name without a dot", "Report", "report", false, "S1$Report.zip", true},
        {"leading dot and number", "OmbrixLog.1234", "x", false, "S1$OmbrixLog.zip", true},
        {"empty log", "OmbrixLog.5.Runner.log", "", false, "S1$OmbrixLog.5.Runner.zip", true},
        {"missing log", "OmbrixLog.6.Runner.log", "", true, "S1$OmbrixLog.6.Runner.zip", false},
        {"left-over archive handed in", "OmbrixLog.1234.Runner.zip", "PK old archive", false,
         "S1$OmbrixLog.1234.Runner.zip", false},
    };
    for (const auto& c : cases) {
        CTempFolder folder;
        if (!c.missing) {
            folder.Write(c.logName, c.content);
        }
        CUploadRecorder recorder;
        CLogUploader().UploadLog(recorder.Url(), folder.WidePath(), NarrowToWide(c.logName), u"S1");
        EXPECT_EQ(recorder.FileNames(), std::vector<std::string>{c.postedName}) << c.name;
        const auto entries = PostedEntries(recorder);
        EXPECT_EQ(entries.size(), c.entry ? 1u : 0u) << c.name;
        if (c.entry && entries.size() == 1) {
            EXPECT_EQ(entries[0].name, c.logName) << c.name;
            EXPECT_EQ(entries[0].method, 8) << c.name;
            EXPECT_EQ(entries[0].dosDateTime, 32u << 16) << c.name;
            EXPECT_TRUE(entries[0].crcMatches) << c.name;
            EXPECT_EQ(entries[0].bytes, c.content) << c.name;
        }
        EXPECT_TRUE(folder.Names().empty()) << c.name;
    }
}

TEST(PostMultipart, SendsTheExampleBodyWithItsLength) {
    std::string archive(1000, '\0');
    for (std::size_t i = 0; i < archive.size(); ++i) {
        archive[i] = static_cast<char>(i * 13);
    }
    CUploadRecorder recorder;
    CLogUploader().PostMultipart(recorder.Url(), u"OmbrixLog07.4321.Runner.zip", u"S1",
                                 reinterpret_cast<const std::uint8_t*>(archive.data()), 1000);
    const auto uploads = recorder.Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    const auto& head = uploads[0].head;
    EXPECT_EQ(head.rfind("POST /scripts/uploadUserLog.php HTTP/1.1\r\n", 0), 0u) << head;
    EXPECT_NE(head.find("\r\nContent-Length: 1226\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\r\nContent-Type: multipart/form-data; boundary="
                        "---------------------------546534675385635\r\n"),
              std::string::npos)
        << head;
    EXPECT_EQ(uploads[0].body.size(), 1226u);
    EXPECT_TRUE(uploads[0].wellFormed);
    EXPECT_EQ(uploads[0].fileName, "S1$OmbrixLog07.4321.Runner.zip");
    EXPECT_TRUE(uploads[0].archive == archive);
}

TEST(UploadJob, ALogHeldByAnotherProcessIsNeitherReadNorDeleted) {
    CTempFolder folder;
    const auto held = folder.Write("OmbrixLog.77.Runner.log", "live log");
    CChildProcess holder;
    ASSERT_TRUE(holder.StartHolding(held.string()));
    CUploadRecorder recorder;
    CLogUploader().UploadLog(recorder.Url(), folder.WidePath(), u"OmbrixLog.77.Runner.log", u"S1");
    EXPECT_TRUE(PostedEntries(recorder).empty()) << "an archive with no entry is posted";
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"OmbrixLog.77.Runner.log"});
    holder.Kill();  // Windows lets nobody read a file held without sharing, the test included
    EXPECT_EQ(folder.Read("OmbrixLog.77.Runner.log"), "live log");
}

TEST(UploadJob, AnArchivePlaceInUseIsNotOverwritten) {
    CTempFolder folder;
    folder.Write("OmbrixLog07.1.Runner.log", "to send");
    const auto busy = folder.Write("OmbrixLog07.1.Runner.zip", "someone else's file");
    CChildProcess holder;
    ASSERT_TRUE(holder.StartHolding(busy.string()));
    CUploadRecorder recorder;
    CLogUploader().UploadLog(recorder.Url(), folder.WidePath(), u"OmbrixLog07.1.Runner.log", u"S1");
    EXPECT_TRUE(recorder.Uploads().empty()) << "no archive could be made, nothing posted";
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"OmbrixLog07.1.Runner.zip"});
    holder.Kill();
    EXPECT_EQ(folder.Read("OmbrixLog07.1.Runner.zip"), "someone else's file");
}

TEST(UploadJob, LogsAreDeletedEvenWhenTheReceiverIsDown) {
    CTempFolder folder;
    folder.Write("OmbrixLog07.4321.Runner.log", "lost cause");
    std::u16string url;
    {
        CUploadRecorder closed;
        url = closed.Url();
    }
    CLogUploader().UploadLog(url, folder.WidePath(), u"OmbrixLog07.4321.Runner.log", u"S1");
    EXPECT_TRUE(folder.Names().empty());
}

TEST(PostArchiveFile, ReportsWhyNothingWasPosted) {
    CTempFolder folder;
    CUploadRecorder recorder;
    CLogUploader uploader;
    EXPECT_NE(uploader.PostArchiveFile(recorder.Url(), folder.WidePath(), u"missing.zip", u"S1"),
              kHresultOk);

    folder.Write("sub/inner", "");
    EXPECT_NE(uploader.PostArchiveFile(recorder.Url(), folder.WidePath(), u"sub", u"S1"),
              kHresultOk)
        << "a folder is not an archive";
    EXPECT_TRUE(recorder.Uploads().empty());

    // Sparse: only its size matters. Loading the low 32 bits of it would post a cut archive.
    std::filesystem::resize_file(folder.Write("big.zip", ""), (std::uint64_t{1} << 32) + 1);
    EXPECT_NE(uploader.PostArchiveFile(recorder.Url(), folder.WidePath(), u"big.zip", u"S1"),
              kHresultOk);
    EXPECT_TRUE(recorder.Uploads().empty());
    EXPECT_FALSE(folder.Exists("big.zip")) << "an archive whose size was taken is deleted";

    folder.Write("a.zip", "archive bytes");
    EXPECT_EQ(uploader.PostArchiveFile(recorder.Url(), folder.WidePath(), u"a.zip", u"S1"),
              kHresultOk);
    const auto uploads = recorder.Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].fileName, "S1$a.zip");
    EXPECT_EQ(uploads[0].archive, "archive bytes");
    EXPECT_FALSE(folder.Exists("a.zip"));
}

}  // namespace
