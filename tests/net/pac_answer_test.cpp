// PAC answers: the tries in order, DIRECT in its place, the entries this client skips, and
// repeated tries.
#include <gtest/gtest.h>

#include "net/proxy/pac_answer.h"
#include "tests/net/proxy_route_text.h"

namespace {

TEST(PacAnswer, Table) {
    const struct {
        const char* name;
        std::u16string answer, route;
    } rows[] = {
        {"one proxy", u"PROXY a:3128", u"a:3128"},
        {"list with a direct fallback", u"PROXY a:3128; PROXY b:3128; DIRECT",
         u"a:3128 b:3128 DIRECT"},
        {"direct first", u"DIRECT; PROXY a:3128", u"DIRECT a:3128"},
        {"direct between", u"PROXY a:1;DIRECT;PROXY b:2", u"a:1 DIRECT b:2"},
        {"direct alone is the direct route", u"DIRECT", u""},
        {"empty answer", u"", u""},
        {"blanks only", u" \t ", u""},
        {"HTTP is PROXY", u"HTTP a:3128", u"a:3128"},
        {"keywords ignore case", u"proxy a:1; Direct", u"a:1 DIRECT"},
        {"no port is 80", u"PROXY a", u"a:80"},
        {"blanks around and between", u"  PROXY \t a:1 ;\tDIRECT  ", u"a:1 DIRECT"},
        {"IPv6 in brackets", u"PROXY [::1]:8080; PROXY [2001:db8::1]",
         u"[::1]:8080 [2001:db8::1]:80"},
        {"bare IPv6 skipped", u"PROXY ::1:8080; PROXY b:1", u"b:1"},
        {"HTTPS skipped", u"HTTPS a:443; PROXY b:1", u"b:1"},
        {"SOCKS kinds skipped", u"SOCKS s:1; SOCKS4 s:1; SOCKS5 s:1; PROXY b:1; DIRECT",
         u"b:1 DIRECT"},
        {"only SOCKS is the direct route", u"SOCKS5 s:1080", u""},
        {"only SOCKS then DIRECT", u"SOCKS5 s:1080; DIRECT", u""},
        {"unknown keyword skipped", u"QUIC q:443; PROXY b:1", u"b:1"},
        {"PROXY without a server skipped", u"PROXY; PROXY b:1", u"b:1"},
        {"DIRECT with a server skipped", u"DIRECT x:1; PROXY b:1", u"b:1"},
        {"two servers in one entry skipped", u"PROXY a:1 b:2; PROXY c:3", u"c:3"},
        {"bad port skipped", u"PROXY a:0; PROXY a:70000; PROXY b:1", u"b:1"},
        {"empty entries", u";;PROXY a:1;;", u"a:1"},
        {"repeated proxy once", u"PROXY a:1; PROXY A:1; PROXY a:2", u"a:1 a:2"},
        {"repeated DIRECT once", u"PROXY a:1; DIRECT; DIRECT", u"a:1 DIRECT"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(RouteText(ReadPacAnswer(row.answer)), row.route) << row.name;
    }
}

TEST(PacAnswer, RouteKeepsItsFirstTries) {
    std::u16string answer;
    for (int i = 1; i <= 40; ++i) {
        answer += u"PROXY p:" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) +
                  std::u16string(1, static_cast<char16_t>(u'0' + i / 10)) + u";";
    }
    const CProxyRoute route = ReadPacAnswer(answer + u"DIRECT");
    ASSERT_EQ(route.Tries().size(), CProxyRoute::kMaxTries);
    EXPECT_EQ(route.Tries().front().server.port, 10);  // "10": i = 1
    EXPECT_FALSE(route.Tries().back().direct);
}

}  // namespace
