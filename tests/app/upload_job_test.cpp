// The upload job against a recording loopback receiver: what is posted for each kind of log
// (the archive read back from the wire), what is left afterwards, and the body streamed from
// the archive's file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/log_uploader.h"
#include "platform/path_join.h"
#include "platform/scratch_file.h"
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
    std::string postedName;  // empty: nothing is posted
    bool kept;               // the log is still there with its bytes afterwards
};

TEST(UploadJob, PostsAWholeArchiveOrKeepsTheLog) {
    const JobCase cases[] = {
        {"rotated log", "OmbrixLog07.4321.Streamer.log", "streamer lines\n", false,
         "S1$OmbrixLog07.4321.Streamer.zip", false},
        {"name without a dot", "Report", "report", false, "S1$Report.zip", false},
        {"leading dot and number", "OmbrixLog.1234", "x", false, "S1$OmbrixLog.zip", false},
        {"empty log", "OmbrixLog.5.Runner.log", "", false, "S1$OmbrixLog.5.Runner.zip", false},
        {"missing log", "OmbrixLog.6.Runner.log", "", true, "", false},
        {"a log named like its own archive", "OmbrixLog.1234.Runner.zip", "PK old archive", false,
         "", true},
    };
    for (const auto& c : cases) {
        CTempFolder folder;
        if (!c.missing) {
            folder.Write(c.logName, c.content);
        }
        CUploadRecorder recorder;
        CLogUploader().UploadLog(recorder.Url(), folder.WidePath(), NarrowToWide(c.logName), u"S1");
        if (c.postedName.empty()) {
            EXPECT_TRUE(recorder.Uploads().empty()) << c.name;
        } else {
            EXPECT_EQ(recorder.FileNames(), std::vector<std::string>{c.postedName}) << c.name;
            const auto entries = PostedEntries(recorder);
            ASSERT_EQ(entries.size(), 1u) << c.name;
            EXPECT_EQ(entries[0].name, c.logName) << c.name;
            EXPECT_EQ(entries[0].method, 8) << c.name;
            EXPECT_EQ(entries[0].dosDateTime, 32u << 16) << c.name;
            EXPECT_TRUE(entries[0].crcMatches) << c.name;
            EXPECT_EQ(entries[0].bytes, c.content) << c.name;
        }
        const auto left = c.kept ? std::vector<std::string>{c.logName} : std::vector<std::string>{};
        EXPECT_EQ(folder.Names(), left) << c.name;
        if (c.kept) {
            EXPECT_EQ(folder.Read(c.logName), c.content) << c.name;
        }
    }
}

// An archive file holding exactly these bytes, as the job posts from it.
void FillArchive(CScratchFile& archive, const CTempFolder& folder, const std::string& bytes) {
    ASSERT_TRUE(archive.Create(JoinPath(folder.WidePath(), u"archive.zip")));
    ASSERT_TRUE(archive.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
}

TEST(PostMultipart, SendsTheExampleBodyWithItsLength) {
    std::string archive(1000, '\0');
    for (std::size_t i = 0; i < archive.size(); ++i) {
        archive[i] = static_cast<char>(i * 13);
    }
    CTempFolder folder;
    CScratchFile file;
    FillArchive(file, folder, archive);
    CUploadRecorder recorder;
    EXPECT_TRUE(CLogUploader().PostMultipart(recorder.Url(), u"OmbrixLog07.4321.Runner.zip", u"S1",
                                             file, 1000));
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

// The body is streamed from the archive's file: a receiver that redirects gets the whole body
// again at the new address, and an archive of several blocks arrives byte for byte.
TEST(PostMultipart, ARedirectedUploadCarriesTheWholeArchiveAgain) {
    std::string archive(300000, '\0');
    for (std::size_t i = 0; i < archive.size(); ++i) {
        archive[i] = static_cast<char>(i * 7 + i / 251);
    }
    CTempFolder folder;
    CScratchFile file;
    FillArchive(file, folder, archive);
    CRecorderBehaviour behaviour;
    behaviour.redirectFirst = 2;
    CUploadRecorder recorder(behaviour);
    EXPECT_TRUE(
        CLogUploader().PostMultipart(recorder.Url(), u"a.zip", u"S1", file, archive.size()));
    const auto uploads = recorder.Uploads();
    ASSERT_EQ(uploads.size(), 3u);
    for (const auto& upload : uploads) {
        EXPECT_TRUE(upload.wellFormed);
        EXPECT_TRUE(upload.archive == archive);
    }
}

TEST(UploadJob, ALogHeldByAnotherProcessIsNeitherReadNorDeleted) {
    CTempFolder folder;
    const auto held = folder.Write("OmbrixLog.77.Runner.log", "live log");
    CChildProcess holder;
    ASSERT_TRUE(holder.StartHolding(held.string()));
    CUploadRecorder recorder;
    CLogUploader().UploadLog(recorder.Url(), folder.WidePath(), u"OmbrixLog.77.Runner.log", u"S1");
    EXPECT_TRUE(recorder.Uploads().empty()) << "nothing is posted for a log that was not read";
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"OmbrixLog.77.Runner.log"});
    holder.Kill();  // Windows lets nobody read a file held without sharing, the test included
    EXPECT_EQ(folder.Read("OmbrixLog.77.Runner.log"), "live log");
}

TEST(UploadJob, AnArchivePlaceInUseKeepsTheLog) {
    CTempFolder folder;
    folder.Write("OmbrixLog07.1.Runner.log", "to send");
    const auto busy = folder.Write("OmbrixLog07.1.Runner.zip", "someone else's file");
    CChildProcess holder;
    ASSERT_TRUE(holder.StartHolding(busy.string()));
    CUploadRecorder recorder;
    CLogUploader().UploadLog(recorder.Url(), folder.WidePath(), u"OmbrixLog07.1.Runner.log", u"S1");
    EXPECT_TRUE(recorder.Uploads().empty()) << "no archive could be made, nothing posted";
    EXPECT_EQ(folder.Names(),
              (std::vector<std::string>{"OmbrixLog07.1.Runner.log", "OmbrixLog07.1.Runner.zip"}));
    holder.Kill();
    EXPECT_EQ(folder.Read("OmbrixLog07.1.Runner.zip"), "someone else's file");
    EXPECT_EQ(folder.Read("OmbrixLog07.1.Runner.log"), "to send");
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
    {
        // Sparse: only its size matters. Its body would not fit a request's 32-bit length.
        CScratchFile big;
        FillArchive(big, folder, "");
        ASSERT_TRUE(big.SetPosition(std::uint64_t{1} << 32));
        ASSERT_TRUE(big.Write("x", 1));
        EXPECT_NE(uploader.PostArchiveFile(recorder.Url(), u"big.zip", u"S1", big), kHresultOk);
        EXPECT_TRUE(recorder.Uploads().empty());
    }
    CScratchFile archive;
    FillArchive(archive, folder, "archive bytes");
    EXPECT_EQ(uploader.PostArchiveFile(recorder.Url(), u"a.zip", u"S1", archive), kHresultOk);
    const auto uploads = recorder.Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].fileName, "S1$a.zip");
    EXPECT_EQ(uploads[0].archive, "archive bytes");
}

}  // namespace
