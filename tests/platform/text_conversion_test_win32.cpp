// The 8-bit conversions in a multi-byte code page: the thread's ANSI code page follows the
// thread locale, so the cases run on a thread of their own set to Japanese (code page 932).
// A byte sequence 932 does not define becomes its own default character, U+30FB, as the
// system's conversion gives it; a character it lacks becomes "?", never a look-alike such as
// the backslash that the yen sign would best fit.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "platform/text_conversion.h"

namespace {

// Runs check on a new thread whose locale, and so whose ANSI code page, is Japanese.
template <typename Check>
void OnJapaneseThread(Check check) {
    std::thread thread([&] {
        ASSERT_TRUE(SetThreadLocale(
            MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT)));
        check();
    });
    thread.join();
}

struct CodePageCase {
    const char* name;
    std::string narrow;
    std::u16string wide;
};

TEST(TextConversion, MultiByteCodePageTable) {
    OnJapaneseThread([] {
        const CodePageCase both[] = {
            {"hiragana", "\x82\xA0\x82\xA2", u"\u3042\u3044"},
            {"half-width katakana", "\xB1", u"\uFF71"},
            {"mixed with ascii", "Log \x93\xFA\x96\x7B.log", u"Log \u65E5\u672C.log"},
        };
        for (const auto& c : both) {
            EXPECT_EQ(NarrowToWide(c.narrow), c.wide) << c.name;
            EXPECT_EQ(WideToNarrow(c.wide), c.narrow) << c.name;
        }
        const CodePageCase toWide[] = {
            {"lead byte at the end", "a\x82", u"a\u30FB"},
        };
        for (const auto& c : toWide) {
            EXPECT_EQ(NarrowToWide(c.narrow), c.wide) << c.name;
        }
        const CodePageCase toNarrow[] = {
            {"yen sign is no backslash", "?", u"\u00A5"},
            {"accented letter is no plain one", "caf?", u"caf\u00E9"},
            {"lone surrogate between characters", "\x82\xA0?\x82\xA2",
             std::u16string(u"\u3042") + char16_t(0xD800) + u"\u3044"},
        };
        for (const auto& c : toNarrow) {
            EXPECT_EQ(WideToNarrow(c.wide), c.narrow) << c.name;
        }
    });
}

TEST(TextConversion, BoundedDecodingCutsBetweenCharacters) {
    OnJapaneseThread([] {
        const std::string text = "\x82\xA0\x82\xA2\x82\xA4";
        char16_t out[4] = {u'x', u'x', u'x', u'x'};
        EXPECT_EQ(NarrowToWideInto(text, out, 2), 3u) << "the whole text needs three units";
        EXPECT_EQ(std::u16string(out, 4), u"\u3042\u3044xx") << "nothing beyond the capacity";
    });
}

}  // namespace
