// URL escaping: the safe set, the query cut-off, UTF-8 forms and the capacity accounting.
#include <gtest/gtest.h>

#include <string>

#include "net/url/parsed_url.h"
#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"

namespace {

// Escapes text with the given capacity; the output buffer has guard units beyond it.
bool Escape(const std::u16string& text, std::uint32_t capacity, std::u16string& out) {
    std::u16string buffer(capacity + 8, u'#');
    const bool ok = EscapeUrlText(text.c_str(), &buffer[0], capacity);
    for (std::size_t i = capacity; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], u'#') << "written past the capacity at " << i;
    }
    out = ok ? std::u16string(buffer.c_str()) : std::u16string();
    return ok;
}

std::u16string Escaped(const std::u16string& text) {
    std::u16string out;
    EXPECT_TRUE(Escape(text, 2083, out));
    return out;
}

TEST(UrlEscape, Table) {
    const struct {
        const char* name;
        std::u16string text;
        std::u16string escaped;
    } cases[] = {
        {"blank before the query, kept after", u"http://h/a b?c d", u"http://h/a%20b?c d"},
        {"at sign", u"http://u@h/", u"http://u%40h/"},
        {"safe punctuation kept", u"http://h/!'()*-./:_~", u"http://h/!'()*-./:_~"},
        {"percent kept", u"http://h/%41", u"http://h/%41"},
        {"unsafe punctuation", u"/&=+,;$\"<>[]{}|\\^`",
         u"/%26%3d%2b%2c%3b%24%22%3c%3e%5b%5d%7b%7d%7c%5c%5e%60"},
        {"hash starts the copied tail", u"/a b#c d?e f", u"/a%20b#c d?e f"},
        {"control bytes", std::u16string(u"\x01\x7f", 2), u"%01%7f"},
        {"two-byte unit", u"\u00E9", u"%c3%a9"},
        {"three-byte unit", u"\u20AC", u"%e2%82%ac"},
        {"surrogate pair is one code point", u"\U0001F600", u"%f0%9f%98%80"},
        {"unpaired high surrogate", std::u16string(1, char16_t(0xD800)), u"%ed%a0%80"},
        {"unpaired low surrogate", std::u16string(1, char16_t(0xDC01)), u"%ed%b0%81"},
        {"empty", u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Escaped(c.text), c.escaped) << c.name;
    }
}

// After the query mark the UTF-8 bytes are copied, then read back as the platform's 8-bit text:
// UTF-8 on POSIX gives the character again, the ANSI code page one character per byte. Either
// way the request line, written in that 8-bit text, carries the UTF-8 bytes.
TEST(UrlEscape, NonAsciiAfterTheQueryReachesTheWireAsUtf8) {
    const std::u16string escaped = Escaped(u"/?\u00E9");
#ifdef _WIN32
    EXPECT_EQ(escaped, u"/?\u00C3\u00A9") << "code page 1252, as Wine has under LC_ALL=C";
#else
    EXPECT_EQ(escaped, u"/?\u00E9");
#endif
    EXPECT_EQ(WideToNarrow(escaped), "/?\xC3\xA9");
}

TEST(UrlEscape, ParsesAfterEscaping) {
    CParsedUrl url;
    ASSERT_TRUE(url.Parse(Escaped(u"http://u@h/").c_str()));
    EXPECT_EQ(std::u16string(url.Host()), u"u%40h");
    EXPECT_EQ(url.UserLength(), 0u);
}

TEST(UrlEscape, CapacityBoundaries) {
    std::u16string out;
    // "abc" needs 4 units with its terminator.
    EXPECT_TRUE(Escape(u"abc", 4, out));
    EXPECT_EQ(out, u"abc");
    EXPECT_FALSE(Escape(u"abc", 3, out));
    // "a b" escapes to "a%20b": five units and the terminator. An escape at count 1 needs the
    // count below capacity - 3, so capacity 5 fails although it would hold the bytes.
    EXPECT_TRUE(Escape(u"a b", 6, out));
    EXPECT_EQ(out, u"a%20b");
    EXPECT_FALSE(Escape(u"a b", 5, out));
    // An escape at the very end: "ab " is "ab%20", 6 units with terminator.
    EXPECT_TRUE(Escape(u"ab ", 6, out));
    EXPECT_FALSE(Escape(u"ab ", 5, out));
    // Tiny capacities never underflow the escape rule.
    for (std::uint32_t capacity = 1; capacity <= 3; ++capacity) {
        EXPECT_FALSE(Escape(u" ", capacity, out)) << capacity;
    }
    EXPECT_TRUE(Escape(u"", 1, out));
    EXPECT_FALSE(Escape(u"", 0, out));
    EXPECT_FALSE(Escape(u"x", 0, out));
}

TEST(UrlEscape, LongTextsUseTheHeapBeyondTheStackBuffers) {
    const std::u16string path = u"/" + std::u16string(3000, u'\u00E9');  // 6001 UTF-8 bytes
    std::u16string out;
    ASSERT_TRUE(Escape(path, 20000, out));
    ASSERT_EQ(out.size(), 1u + 3000u * 6u);
    EXPECT_EQ(out.substr(0, 7), u"/%c3%a9");
    EXPECT_FALSE(Escape(path, 18001, out)) << "one unit short of the terminator";
    EXPECT_TRUE(Escape(path, 18002, out));
    EXPECT_FALSE(Escape(path, 2083, out));
    // A capacity far beyond the need sizes nothing: the call writes only what it produces.
    char16_t small[16];
    EXPECT_TRUE(EscapeUrlText(u"/a b", small, 0xFFFFFFFFU));
    EXPECT_EQ(std::u16string(small), u"/a%20b");
}

TEST(UrlEscape, NullArgumentsRaiseFail) {
    char16_t out[8];
    for (const auto call : {+[](char16_t* o) { EscapeUrlText(nullptr, o, 8); },
                            +[](char16_t*) { EscapeUrlText(u"x", nullptr, 8); }}) {
        try {
            call(out);
            ADD_FAILURE() << "expected CHresultException";
        } catch (const CHresultException& e) {
            EXPECT_EQ(e.Code(), E_FAIL);
        }
    }
}

}  // namespace
