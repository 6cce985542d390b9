// A disk that fills up while a log is packed: on a small file system of the test's own, an
// archive that does not fit, or that cannot even be made, is never posted; the log stays with
// its bytes for a later run and no archive is left. Needs root to mount the file system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/log_uploader.h"
#include "platform/text_conversion.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/support/upload_recorder.h"

namespace {

// Bytes that deflate cannot shrink, so the archive is as large as the log.
std::string Incompressible(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint64_t state = 88172645463325252ULL;
    for (auto& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = static_cast<char>(state);
    }
    return bytes;
}

TEST(FullDisk, AnArchiveThatCannotBeWrittenWholeIsNeverPosted) {
    const struct {
        const char* name;
        std::string options;
        std::size_t logSize;
    } rows[] = {
        {"archive larger than the room left", "size=2m", 1536 * 1024},
        {"no file entry left for the archive", "size=2m,nr_inodes=2", 1000},
    };
    for (const auto& row : rows) {
        CTempFolder root;
        const CTmpfsMount disk(root.Path() / "disk", row.options);
        if (!disk.Mounted()) {
            GTEST_SKIP() << "mounting a file system of the test's own needs root";
        }
        const std::string log = "OmbrixLog07.4321.Runner.log";
        const std::string bytes = Incompressible(row.logSize);
        root.Write("disk/" + log, bytes);
        CUploadRecorder recorder;
        CLogUploader().UploadLog(recorder.Url(), NarrowToWide((root.Path() / "disk").string()),
                                 NarrowToWide(log), u"S1");
        EXPECT_TRUE(recorder.Uploads().empty()) << row.name;
        EXPECT_EQ(VisibleNamesIn(root.Path() / "disk"), std::vector<std::string>{log}) << row.name;
        EXPECT_TRUE(root.Read("disk/" + log) == bytes) << row.name;
    }
}

}  // namespace
