// The upload body's frame: exact bytes of the part head and the tail around the archive, the
// length of the whole, and the escaping that keeps identifiers inside the quoted file name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/multipart_body.h"
#include "platform/text_conversion.h"
#include "tests/support/platform_expectation.h"

namespace {

const std::string kBoundary = "---------------------------546534675385635";

std::string Head(const std::string& fileName) {
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" +
           fileName + "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
}

TEST(MultipartBody, FramesTheArchiveWithHeadAndTail) {
    CMultipartBody body;
    ASSERT_TRUE(body.Compose(u"OmbrixLog07.4321.Runner.zip", u"S1", 1000));
    EXPECT_EQ(body.HeadLength(), 176u);
    EXPECT_EQ(body.Size(), 1226u);
    EXPECT_EQ(body.Head(), Head("S1$OmbrixLog07.4321.Runner.zip"));
    EXPECT_EQ(body.Tail(), "\r\n--" + kBoundary + "--\r\n");
    EXPECT_EQ(kBoundary.size(), 42u);
    EXPECT_EQ(WideToNarrow(body.ContentType()), "multipart/form-data; boundary=" + kBoundary);
    EXPECT_EQ(std::u16string(body.ContentType()).size(), 72u);
}

TEST(MultipartBody, ZeroByteArchiveGivesHeadAndTailOnly) {
    CMultipartBody body;
    ASSERT_TRUE(body.Compose(u"OmbrixLog.zip", u"NoSessionId", 0));
    EXPECT_EQ(body.Head(), Head("NoSessionId$OmbrixLog.zip"));
    EXPECT_EQ(body.Size(), body.HeadLength() + 50u);
}

// The part's file name goes out in the 8-bit text: UTF-8 on POSIX, the ANSI code page on
// Windows (1252, as Wine has under LC_ALL=C), where a character it lacks becomes "?" and never
// a look-alike quote.
struct EscapeCase {
    const char* name;
    std::u16string sessionId;
    std::u16string archiveName;
    std::string fileNamePosix;
    std::string fileNameWindows;
};

TEST(MultipartBody, QuotesAndLineEndsCannotBreakThePartHead) {
    const EscapeCase cases[] = {
        {"quote in session", u"a\"b", u"x.zip", "a%22b$x.zip", "a%22b$x.zip"},
        {"line ends in session", u"S\r\nX-Injected: 1", u"x.zip", "S%0D%0AX-Injected: 1$x.zip",
         "S%0D%0AX-Injected: 1$x.zip"},
        {"quote in archive name", u"S1", u"Ombrix\"Log.zip", "S1$Ombrix%22Log.zip",
         "S1$Ombrix%22Log.zip"},
        {"lone LF and CR", u"\n", u"\r.zip", "%0A$%0D.zip", "%0A$%0D.zip"},
        {"other bytes as they are", u"%22;'<>", u"caf\u00E9.zip", "%22;'<>$caf\xC3\xA9.zip",
         "%22;'<>$caf\xE9.zip"},
        {"fullwidth quote and omega", u"S\uFF02", u"\u03A9.zip", "S\xEF\xBC\x82$\xCE\xA9.zip",
         "S?$?.zip"},
    };
    for (const auto& c : cases) {
        CMultipartBody body;
        ASSERT_TRUE(body.Compose(c.archiveName, c.sessionId, 0)) << c.name;
        EXPECT_EQ(body.Head(), Head(OnThisPlatform(c.fileNamePosix, c.fileNameWindows))) << c.name;
    }
}

TEST(MultipartBody, RefusesABodyBeyond32Bits) {
    CMultipartBody body;
    ASSERT_TRUE(body.Compose(u"a.zip", u"S1", 0));
    const std::uint64_t largest = 0xFFFFFFFFU - body.Size();
    EXPECT_TRUE(body.Compose(u"a.zip", u"S1", largest));
    EXPECT_EQ(body.Size(), 0xFFFFFFFFU);
    EXPECT_FALSE(body.Compose(u"a.zip", u"S1", largest + 1));
    EXPECT_EQ(body.Size(), 0u);
    EXPECT_FALSE(body.Compose(u"a.zip", u"S1", std::uint64_t{1} << 40));
}

}  // namespace
