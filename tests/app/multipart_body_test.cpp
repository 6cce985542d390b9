// The upload body: exact bytes of the part head, the archive and the tail, and the escaping
// that keeps identifiers inside the quoted file name.
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

std::string BodyText(const CMultipartBody& body) {
    return std::string(reinterpret_cast<const char*>(body.Data()), body.Size());
}

TEST(MultipartBody, LaysOutHeadArchiveAndTail) {
    std::vector<std::uint8_t> archive(1000);
    for (std::size_t i = 0; i < archive.size(); ++i) {
        archive[i] = static_cast<std::uint8_t>(i * 13);
    }
    CMultipartBody body;
    ASSERT_TRUE(body.Build(u"OmbrixLog07.4321.Runner.zip", u"S1", archive.data(), 1000));
    EXPECT_EQ(body.HeadLength(), 176u);
    EXPECT_EQ(body.Size(), 1226u);
    const std::string expected = Head("S1$OmbrixLog07.4321.Runner.zip") +
                                 std::string(archive.begin(), archive.end()) + "\r\n--" +
                                 kBoundary + "--\r\n";
    EXPECT_EQ(BodyText(body), expected);
    EXPECT_EQ(kBoundary.size(), 42u);
    EXPECT_EQ(WideToNarrow(body.ContentType()), "multipart/form-data; boundary=" + kBoundary);
    EXPECT_EQ(std::u16string(body.ContentType()).size(), 72u);
}

TEST(MultipartBody, ZeroByteArchiveGivesHeadAndTailOnly) {
    CMultipartBody body;
    ASSERT_TRUE(body.Build(u"OmbrixLog.zip", u"NoSessionId", nullptr, 0));
    EXPECT_EQ(BodyText(body), Head("NoSessionId$OmbrixLog.zip") + "\r\n--" + kBoundary + "--\r\n");
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
        ASSERT_TRUE(body.Build(c.archiveName, c.sessionId, nullptr, 0)) << c.name;
        const std::string text = BodyText(body);
        EXPECT_EQ(text.substr(0, body.HeadLength()),
                  Head(OnThisPlatform(c.fileNamePosix, c.fileNameWindows)))
            << c.name;
    }
}

TEST(MultipartBody, RefusesABodyBeyond32Bits) {
    const std::uint8_t byte = 0;
    CMultipartBody body;
    EXPECT_FALSE(body.Build(u"a.zip", u"S1", &byte, 0xFFFFFFFFU - 100));
    EXPECT_EQ(body.Size(), 0u);
    EXPECT_EQ(body.Data(), nullptr);
}

}  // namespace
