// Text layer: the 8-bit/UTF-16 conversions, the typed formatter and the case folding.
#include <gtest/gtest.h>

#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"
#include "platform/text_format.h"
#include "platform/wide_text.h"
#include "tests/support/platform_expectation.h"

namespace {

// The 8-bit side is UTF-8 on POSIX and the thread's ANSI code page on Windows: 1252 under
// Wine with LC_ALL=C, where every byte is a character and nothing is invalid. Multi-byte code
// page cases are in text_conversion_test_win32.cpp.
struct NarrowToWideCase {
    const char* name;
    std::string narrow;
    std::u16string posix;
    std::u16string windows;
};

TEST(TextConversion, NarrowToWideTable) {
    const NarrowToWideCase cases[] = {
        {"empty", "", u"", u""},
        {"ascii", "OmbrixLog.4321.Runner.log", u"OmbrixLog.4321.Runner.log",
         u"OmbrixLog.4321.Runner.log"},
        {"two-byte", "caf\xC3\xA9", u"caf\u00E9", u"caf\u00C3\u00A9"},
        {"three-byte", "\xE2\x82\xAC", u"\u20AC", u"\u00E2\u201A\u00AC"},
        {"four-byte becomes a pair", "\xF0\x9F\x98\x80", u"\U0001F600",
         u"\u00F0\u0178\u02DC\u20AC"},
        {"embedded zero kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3),
         std::u16string(u"a\0b", 3)},
        {"lone continuation", "a\x80z", u"a\uFFFDz", u"a\u20ACz"},
        {"truncated two-byte at end", "a\xC3", u"a\uFFFD", u"a\u00C3"},
        {"truncated three-byte then ascii", "\xE2\x82z", u"\uFFFDz", u"\u00E2\u201Az"},
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD", u"\u00C0\u00AF"},
        {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", u"\u00E0\u20AC\u00AF"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", u"\u00ED\u00A0\u20AC"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD",
         u"\u00F4\u0090\u20AC\u20AC"},
        {"invalid lead bytes", "\xFE\xFF", u"\uFFFD\uFFFD", u"\u00FE\u00FF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NarrowToWide(c.narrow), OnThisPlatform(c.posix, c.windows)) << c.name;
    }
}

struct WideToNarrowCase {
    const char* name;
    std::u16string wide;
    std::string posix;
    std::string windows;
};

TEST(TextConversion, WideToNarrowTable) {
    const WideToNarrowCase cases[] = {
        {"ascii", u"sendlogs S1 4321", "sendlogs S1 4321", "sendlogs S1 4321"},
        {"two-byte", u"\u00E9", "\xC3\xA9", "\xE9"},
        {"three-byte", u"\uFFFD", "\xEF\xBF\xBD", "?"},
        {"surrogate pair", u"\U0001F600", "\xF0\x9F\x98\x80", "??"},
        // No best fit: a character the code page lacks never turns into a look-alike.
        {"no look-alike letter", u"\u0100", "\xC4\x80", "?"},
        {"no look-alike quote", u"\uFF02", "\xEF\xBC\x82", "?"},
        {"lone high surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a?b", "a?b"},
        {"lone low surrogate", std::u16string(1, char16_t(0xDC00)), "?", "?"},
        {"high surrogate at end", std::u16string(1, char16_t(0xDBFF)), "?", "?"},
        {"reversed pair", std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "??", "??"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WideToNarrow(c.wide), OnThisPlatform(c.posix, c.windows)) << c.name;
    }
}

TEST(TextConversion, ValidTextRoundTrips) {
    const std::u16string text =
        OnThisPlatform<std::u16string>(u"Log \u00E9\u20AC\U0001F600 end", u"Log \u00E9\u20AC end");
    EXPECT_EQ(NarrowToWide(WideToNarrow(text)), text);
}

TEST(TextFormat, FormatsTheProgramsFormats) {
    EXPECT_EQ(FormatWide(u"OmbrixLog.%s.Runner.log", u"4321"), u"OmbrixLog.4321.Runner.log");
    EXPECT_EQ(FormatWide(u"OmbrixLog%02d.%s.Runner.log", 7, u"4321"),
              u"OmbrixLog07.4321.Runner.log");
    EXPECT_EQ(FormatWide(u"%02d|%02d|%02d", 0, 100, 1000), u"00|100|1000");
    const std::string narrowE = OnThisPlatform<std::string>("\xC3\xA9", "\xE9");
    EXPECT_EQ(FormatWide(u"%S and %s", ("caf" + narrowE).c_str(), u"x"), u"caf\u00E9 and x");
    EXPECT_EQ(FormatNarrow("--%s\r\n%S", "b", u"\u00E9"), "--b\r\n" + narrowE);
    EXPECT_EQ(FormatNarrow("%d %d %u %%", -5, 2147483647, 4294967295U),
              "-5 2147483647 4294967295 %");
    EXPECT_EQ(FormatNarrow("[%05d][%-4d][%3s]", -42, 7, "ab"), "[-0042][7   ][ ab]");
}

TEST(TextFormat, MismatchedOrMissingArgumentsFail) {
    EXPECT_THROW(FormatWide(u"%d", u"text"), CHresultException);
    EXPECT_THROW(FormatWide(u"%s", "narrow for wide %s"), CHresultException);
    EXPECT_THROW(FormatWide(u"%s %s", u"one"), CHresultException);
    EXPECT_THROW(FormatWide(u"%s", u"one", u"extra"), CHresultException);
    EXPECT_THROW(FormatWide(u"%x", 1), CHresultException);
    EXPECT_THROW(FormatWide(u"trailing %"), CHresultException);
    const char16_t* nullText = nullptr;
    try {
        FormatWide(u"%s", nullText);
        FAIL() << "a null text argument must not format";
    } catch (const CHresultException& e) {
        EXPECT_EQ(e.Code(), E_INVALIDARG);
    }
}

TEST(TextFormat, BoundedFormattingStopsAtCapacity) {
    char16_t field[7];
    ASSERT_TRUE(FormatWideInto(field, 7, u":%d", 65535));
    EXPECT_EQ(std::u16string(field), u":65535");
    EXPECT_FALSE(FormatWideInto(field, 6, u":%d", 65535)) << "needs 7 units with terminator";
    EXPECT_EQ(field[0], 0);
    EXPECT_FALSE(FormatWideInto(field, 0, u":%d", 1));
    EXPECT_FALSE(FormatWideInto(nullptr, 7, u":%d", 1));
}

TEST(WideText, CaseFoldingTouchesOnlyAsciiLetters) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase(WideView(u"Content-LENGTH"), WideView(u"content-length")));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(WideView(u"\u00C9"), WideView(u"\u00E9")));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(WideView(u"abc"), WideView(u"abcd")));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(std::string_view("["), std::string_view("{")));
    EXPECT_EQ(WideLength(u"four"), 4u);
}

TEST(WideText, NullTextRaisesFail) {
    try {
        WideViewOf(nullptr);
        FAIL() << "expected CHresultException";
    } catch (const CHresultException& e) {
        EXPECT_EQ(e.Code(), E_FAIL);
        EXPECT_EQ(static_cast<std::uint32_t>(e.Code()), 0x80004005U);
    }
    EXPECT_EQ(static_cast<std::uint32_t>(E_OUTOFMEMORY), 0x8007000EU);
    EXPECT_EQ(static_cast<std::uint32_t>(E_INVALIDARG), 0x80070057U);
    EXPECT_EQ(static_cast<std::uint32_t>(HresultFromError(2)), 0x80070002U);
}

}  // namespace
