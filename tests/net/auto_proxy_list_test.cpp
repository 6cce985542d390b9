// WinHTTP's proxy list of a script's answer: the tries in order, DIRECT in its place, the
// entries skipped, and the list that is no answer at all.
#include <gtest/gtest.h>

#include "net/proxy/auto_proxy_list.h"
#include "tests/net/proxy_route_text.h"

namespace {

TEST(AutoProxyList, Table) {
    const struct {
        const char* name;
        std::u16string list;
        bool answers;
        std::u16string route;
    } rows[] = {
        {"one proxy", u"a:3128", true, u"a:3128"},
        {"semicolons", u"a:1;b:2", true, u"a:1 b:2"},
        {"blanks", u" a:1 \t b:2 ", true, u"a:1 b:2"},
        {"DIRECT in its place", u"a:1; DIRECT; b:2", true, u"a:1 DIRECT b:2"},
        {"DIRECT alone is the direct route", u"direct", true, u""},
        {"no port is 80", u"a", true, u"a:80"},
        {"http:// before the server", u"HTTP://a:1", true, u"a:1"},
        {"IPv6 in brackets", u"[::1]:8080", true, u"[::1]:8080"},
        {"repeats dropped", u"a:1;A:1;b:2;a:1", true, u"a:1 b:2"},
        {"other schemes skipped", u"https://s:1;socks=t:2;b:2", true, u"b:2"},
        {"malformed skipped", u"a:0;a:70000;::1;b:2", true, u"b:2"},
        {"nothing usable is no answer", u"https://s:1 a:0", false, u""},
        {"empty is no answer", u"", false, u""},
        {"separators only are no answer", u" ;; ", false, u""},
    };
    for (const auto& row : rows) {
        const std::optional<CProxyRoute> route = ReadAutoProxyList(row.list);
        EXPECT_EQ(route.has_value(), row.answers) << row.name;
        if (route) {
            EXPECT_EQ(RouteText(*route), row.route) << row.name;
        }
    }
}

}  // namespace
