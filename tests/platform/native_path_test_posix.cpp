// The byte spelling of paths for the POSIX system calls: names convert to UTF-16 and back to
// the very bytes they were, valid UTF-8 or not, and the paths no bytes spell are refused.
#include <gtest/gtest.h>

#include <string>

#include "platform/file_name_text.h"
#include "platform/native_path.h"

namespace {

struct NameCase {
    const char* name;
    std::string bytes;
    std::u16string wide;
};

TEST(FileNameText, EveryByteNameComesBackAsItWas) {
    const NameCase cases[] = {
        {"ASCII", "OmbrixLog.1.Runner.log", u"OmbrixLog.1.Runner.log"},
        {"valid UTF-8 is text", "caf\xC3\xA9", u"caf\u00E9"},
        {"four-byte UTF-8 is a pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"Latin-1 byte E9", "Caf\xE9.log", u"Caf\xDCE9.log"},
        {"byte FF", "\xFF", u"\xDCFF"},
        {"lead byte cut short", "a\xC3", u"a\xDCC3"},
        {"lead byte before ASCII", "\xC3(", u"\xDCC3("},
        {"overlong slash", "\xC0\xAF", u"\xDCC0\xDCAF"},
        {"encoded surrogate", "\xED\xB2\x80", u"\xDCED\xDCB2\xDC80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
        {"lone continuation bytes", "\x80\xBF", u"\xDC80\xDCBF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileNameToWide(c.bytes), c.wide) << c.name;
        std::string back = "untouched";
        EXPECT_TRUE(FileNameToNarrow(c.wide, back)) << c.name;
        EXPECT_EQ(back, c.bytes) << c.name;
    }
}

TEST(NativePath, RefusesPathsTheSystemCannotName) {
    std::string native;
    EXPECT_TRUE(NativePathOf(u"/tmp/caf\u00E9", native));
    EXPECT_EQ(native, "/tmp/caf\xC3\xA9");
    EXPECT_TRUE(NativePathOf(u"/tmp/caf\xDCE9", native));
    EXPECT_EQ(native, "/tmp/caf\xE9");
    EXPECT_FALSE(NativePathOf(std::u16string(u"/tmp/a\0b", 8), native)) << "embedded zero";
    EXPECT_FALSE(NativePathOf(u"", native));
    // Units that stand for no byte: a "?" in their place would name another file.
    EXPECT_FALSE(NativePathOf(u"/tmp/\xD800x", native)) << "lone high surrogate";
    EXPECT_FALSE(NativePathOf(u"/tmp/\xDC41", native)) << "escape of an ASCII byte";
    EXPECT_FALSE(NativePathOf(u"/tmp/\xDFFF", native)) << "lone low surrogate";
}

}  // namespace
