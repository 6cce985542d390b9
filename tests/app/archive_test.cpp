// Archive names and the archive entry: one deflated entry named as the log, DOS date 32 and
// time 0, the right CRC and the original bytes, written into a scratch file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/add_file_to_archive.h"
#include "app/archive_name.h"
#include "app/zip_archive.h"
#include "platform/exclusive_file.h"
#include "platform/path_join.h"
#include "platform/scratch_file.h"
#include "platform/text_conversion.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_reader.h"

namespace {

struct NameCase {
    std::u16string log;
    std::u16string archive;
};

TEST(ArchiveName, CutsAtTheLastDot) {
    const NameCase cases[] = {
        {u"OmbrixLog07.4321.Streamer.log", u"OmbrixLog07.4321.Streamer.zip"},
        {u"OmbrixLog.1234", u"OmbrixLog.zip"},
        {u"Report", u"Report.zip"},
        {u"OmbrixLog.1234.Runner.zip", u"OmbrixLog.1234.Runner.zip"},
        {u"OmbrixLog.", u"OmbrixLog.zip"},
        {u".hidden", u".zip"},
        {u"", u".zip"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WideToNarrow(ArchiveNameOf(c.log)), WideToNarrow(c.archive));
    }
}

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (auto& byte : bytes) {
        state = state * 1103515245U + 12345U;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// The bytes of the scratch file from its start.
std::string ContentOf(CScratchFile& file) {
    std::string content;
    std::string piece(4096, '\0');
    std::uint32_t got = 0;
    EXPECT_TRUE(file.SetPosition(0));
    while (file.Read(piece.data(), 4096, got) && got != 0) {
        content.append(piece.data(), got);
    }
    return content;
}

// Writes the archive of folder/name into a scratch file and returns its bytes.
std::string ArchiveBytesOf(const CTempFolder& folder, const std::string& name) {
    CExclusiveFile log;
    EXPECT_TRUE(log.Open(JoinPath(folder.WidePath(), NarrowToWide(name))));
    CScratchFile file;
    EXPECT_TRUE(file.Create(JoinPath(folder.WidePath(), u"archive.zip")));
    CZipArchive archive;
    EXPECT_TRUE(archive.Create(file));
    EXPECT_TRUE(AddFileToArchive(archive.Handle(), log, NarrowToWide(name)));
    EXPECT_TRUE(archive.Close());
    return ContentOf(file);
}

std::vector<CZipEntry> ArchiveOf(const CTempFolder& folder, const std::string& name) {
    std::vector<CZipEntry> entries;
    EXPECT_TRUE(ReadZipBytes(ArchiveBytesOf(folder, name), entries));
    return entries;
}

TEST(AddFileToArchive, StoresOneDeflatedEntryNamedAsTheLog) {
    const std::size_t sizes[] = {0, 1, 8191, 8192, 8193, 100000};
    for (const std::size_t size : sizes) {
        CTempFolder folder;
        const std::string name = "OmbrixLog07.4321.Streamer.log";
        const std::string bytes = size == 100000 ? std::string(size, 'a') : Pattern(size);
        folder.Write(name, bytes);
        const auto entries = ArchiveOf(folder, name);
        ASSERT_EQ(entries.size(), 1u) << size;
        EXPECT_EQ(entries[0].name, name);
        EXPECT_EQ(entries[0].method, 8);
        EXPECT_EQ(entries[0].dosDateTime, 32u << 16) << "DOS date 32, DOS time 0";
        EXPECT_TRUE(entries[0].crcMatches) << size;
        EXPECT_TRUE(entries[0].bytes == bytes) << size;
        EXPECT_EQ(folder.Read(name), bytes) << "the log itself is left as it was";
    }
}

TEST(AddFileToArchive, LocalHeaderCarriesDate32AndTime0) {
    CTempFolder folder;
    folder.Write("a.log", "x");
    const std::string archive = ArchiveBytesOf(folder, "a.log");
    ASSERT_GE(archive.size(), 30u);
    EXPECT_EQ(archive.substr(0, 4), "PK\x03\x04");
    EXPECT_EQ(archive.substr(10, 4), std::string("\x00\x00\x20\x00", 4)) << "time 0, date 32";
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.log"}) << "the scratch file went with it";
}

}  // namespace
