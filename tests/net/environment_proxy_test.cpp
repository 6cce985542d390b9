// The environment's proxy route: which variable names the proxy for each scheme, how no_proxy
// and NO_PROXY take turns, and what an unusable proxy leads to.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "net/proxy/environment_proxy.h"
#include "tests/net/proxy_route_text.h"

namespace {

using Variables = std::map<std::string, std::u16string>;

ProxyVariableLookup LookupIn(const Variables& variables) {
    return [&variables](std::string_view name) -> std::optional<WideString> {
        const auto found = variables.find(std::string(name));
        if (found == variables.end()) {
            return std::nullopt;
        }
        return found->second;
    };
}

struct EnvironmentRow {
    const char* name;
    UrlSchemeKind scheme;
    Variables variables;
    std::u16string route;  // RouteText of the route to localhost
};

// Every row's answer is curl 7.88.1's, measured by tests/net/no_proxy_curl.py (each proxy a
// listener of its own on loopback, the URL's host localhost).
// clang-format off
const EnvironmentRow kPrecedenceRows[] = {
    {"nothing set", SchemeHttp, {}, u""},
    {"http takes http_proxy", SchemeHttp, {{"http_proxy", u"http://lower:3128"}}, u"lower:3128"},
    {"http never takes HTTP_PROXY", SchemeHttp, {{"HTTP_PROXY", u"http://upper:3128"}}, u""},
    {"http_proxy before HTTP_PROXY", SchemeHttp, {{"http_proxy", u"http://lower:3128"}, {"HTTP_PROXY", u"http://upper:3128"}}, u"lower:3128"},
    {"http_proxy before all_proxy", SchemeHttp, {{"http_proxy", u"http://lower:3128"}, {"all_proxy", u"http://all:3128"}}, u"lower:3128"},
    {"empty http_proxy gives way to all_proxy", SchemeHttp, {{"http_proxy", u""}, {"all_proxy", u"http://all:3128"}}, u"all:3128"},
    {"HTTP_PROXY leaves all_proxy", SchemeHttp, {{"HTTP_PROXY", u"http://upper:3128"}, {"all_proxy", u"http://all:3128"}}, u"all:3128"},
    {"ALL_PROXY alone", SchemeHttp, {{"ALL_PROXY", u"http://bigall:3128"}}, u"bigall:3128"},
    {"all_proxy before ALL_PROXY", SchemeHttp, {{"all_proxy", u"http://all:3128"}, {"ALL_PROXY", u"http://bigall:3128"}}, u"all:3128"},
    {"empty all_proxy gives way to ALL_PROXY", SchemeHttp, {{"all_proxy", u""}, {"ALL_PROXY", u"http://bigall:3128"}}, u"bigall:3128"},
    {"http never takes https_proxy", SchemeHttp, {{"https_proxy", u"http://lower:3128"}}, u""},
    {"https takes https_proxy", SchemeHttps, {{"https_proxy", u"http://lower:3128"}}, u"lower:3128"},
    {"https takes HTTPS_PROXY", SchemeHttps, {{"HTTPS_PROXY", u"http://upper:3128"}}, u"upper:3128"},
    {"https_proxy before HTTPS_PROXY", SchemeHttps, {{"https_proxy", u"http://lower:3128"}, {"HTTPS_PROXY", u"http://upper:3128"}}, u"lower:3128"},
    {"empty https_proxy gives way to HTTPS_PROXY", SchemeHttps, {{"https_proxy", u""}, {"HTTPS_PROXY", u"http://upper:3128"}}, u"upper:3128"},
    {"https_proxy before all_proxy", SchemeHttps, {{"https_proxy", u"http://lower:3128"}, {"all_proxy", u"http://all:3128"}}, u"lower:3128"},
    {"empty HTTPS_PROXY gives way to all_proxy", SchemeHttps, {{"HTTPS_PROXY", u""}, {"all_proxy", u"http://all:3128"}}, u"all:3128"},
    {"https never takes http_proxy", SchemeHttps, {{"http_proxy", u"http://lower:3128"}}, u""},
    {"https takes all_proxy", SchemeHttps, {{"all_proxy", u"http://all:3128"}}, u"all:3128"},
    {"https takes ALL_PROXY", SchemeHttps, {{"ALL_PROXY", u"http://bigall:3128"}}, u"bigall:3128"},
    {"no_proxy sends the host direct", SchemeHttp, {{"http_proxy", u"http://lower:3128"}, {"no_proxy", u"localhost"}}, u""},
    {"no_proxy for https", SchemeHttps, {{"https_proxy", u"http://lower:3128"}, {"no_proxy", u"localhost"}}, u""},
    {"no_proxy for all_proxy", SchemeHttp, {{"all_proxy", u"http://all:3128"}, {"no_proxy", u"localhost"}}, u""},
    {"no_proxy naming another host", SchemeHttp, {{"http_proxy", u"http://lower:3128"}, {"no_proxy", u"other"}}, u"lower:3128"},
    {"NO_PROXY alone", SchemeHttp, {{"http_proxy", u"http://lower:3128"}, {"NO_PROXY", u"localhost"}}, u""},
    {"no_proxy before NO_PROXY", SchemeHttp, {{"http_proxy", u"http://lower:3128"}, {"no_proxy", u"other"}, {"NO_PROXY", u"localhost"}}, u"lower:3128"},
    {"no_proxy before NO_PROXY, naming the host", SchemeHttp, {{"http_proxy", u"http://lower:3128"}, {"no_proxy", u"localhost"}, {"NO_PROXY", u"other"}}, u""},
    {"empty no_proxy gives way to NO_PROXY", SchemeHttp, {{"http_proxy", u"http://lower:3128"}, {"no_proxy", u""}, {"NO_PROXY", u"localhost"}}, u""},
    {"a tab is no empty no_proxy", SchemeHttp, {{"http_proxy", u"http://lower:3128"}, {"no_proxy", u"\t"}, {"NO_PROXY", u"localhost"}}, u"lower:3128"},
};
// clang-format on

TEST(EnvironmentProxy, WhichVariableDecides) {
    for (const EnvironmentRow& row : kPrecedenceRows) {
        const CProxyRoute route =
            EnvironmentProxyRoute(LookupIn(row.variables), row.scheme, u"localhost");
        EXPECT_EQ(RouteText(route), row.route) << row.name;
    }
}

// curl 7.88.1 speaks SOCKS or TLS to the first three proxies, and fails the transfer on the
// others (measured); here the variable that decides still decides, and the upload goes
// direct rather than through a proxy meant for other schemes.
TEST(EnvironmentProxy, UnusableProxyGoesDirect) {
    const EnvironmentRow rows[] = {
        {"socks5",
         SchemeHttps,
         {{"https_proxy", u"socks5://s:1080"}, {"all_proxy", u"http://all:3128"}},
         u""},
        {"https proxy",
         SchemeHttp,
         {{"http_proxy", u"https://s:443"}, {"all_proxy", u"http://all:3128"}},
         u""},
        {"socks in all_proxy",
         SchemeHttp,
         {{"all_proxy", u"socks5h://s:1080"}, {"ALL_PROXY", u"http://bigall:3128"}},
         u""},
        {"a blank", SchemeHttp, {{"http_proxy", u" "}, {"all_proxy", u"http://all:3128"}}, u""},
        {"port out of range",
         SchemeHttps,
         {{"HTTPS_PROXY", u"http://p:65536"}, {"all_proxy", u"http://all:3128"}},
         u""},
    };
    for (const EnvironmentRow& row : rows) {
        const CProxyRoute route =
            EnvironmentProxyRoute(LookupIn(row.variables), row.scheme, u"upload.example");
        EXPECT_EQ(RouteText(route), row.route) << row.name;
    }
}

TEST(EnvironmentProxy, CarriesCredentialsAndTakesTheUrlsHost) {
    const Variables variables = {{"https_proxy", u"http://bob:s%3Acret@[fd00::1]:8080"},
                                 {"no_proxy", u"intranet.example,10.0.0.0/8"}};
    CParsedUrl url;
    ASSERT_TRUE(url.Parse(u"https://logs.example.com/upload"));
    EXPECT_EQ(RouteText(EnvironmentProxyRoute(LookupIn(variables), url)),
              u"bob:s:cret@[fd00::1]:8080");
    ASSERT_TRUE(url.Parse(u"https://files.intranet.example/upload"));
    EXPECT_TRUE(EnvironmentProxyRoute(LookupIn(variables), url).IsDirectOnly());
    ASSERT_TRUE(url.Parse(u"https://10.1.2.3/upload"));
    EXPECT_TRUE(EnvironmentProxyRoute(LookupIn(variables), url).IsDirectOnly());
    ASSERT_TRUE(url.Parse(u"ftp://logs.example.com/upload"));
    EXPECT_TRUE(EnvironmentProxyRoute(LookupIn(variables), url).IsDirectOnly());
}

}  // namespace
