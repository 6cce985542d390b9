// Windows's manual proxy setting: which server the proxy string names for each scheme, which
// hosts the bypass list sends direct, and the route the two make together.
#include <gtest/gtest.h>

#include "net/proxy/manual_proxy_setting.h"
#include "tests/net/proxy_route_text.h"

namespace {

std::u16string ServerText(const std::optional<CProxyServer>& server) {
    return server ? RouteText(CProxyRoute::Through(*server)) : u"";
}

TEST(ProxyString, ServerForEachScheme) {
    const struct {
        const char* name;
        std::u16string text;
        std::u16string http, https;  // "" where the scheme goes direct
    } rows[] = {
        {"one proxy for every scheme", u"proxy:8080", u"proxy:8080", u"proxy:8080"},
        {"no port is 80", u"proxy", u"proxy:80", u"proxy:80"},
        {"empty port is 80", u"proxy:", u"proxy:80", u"proxy:80"},
        {"one per scheme", u"http=a:8080;https=b:8443", u"a:8080", u"b:8443"},
        {"scheme names ignore case", u"HTTP=a:1;HttpS=b:2", u"a:1", u"b:2"},
        {"http alone: https goes direct", u"http=a:8080", u"a:8080", u""},
        {"https alone: http goes direct", u"https=b:8443", u"", u"b:8443"},
        {"socks alone names nothing", u"socks=s:1080", u"", u""},
        {"other schemes not read", u"ftp=f:21;gopher=g:70;https=b:1", u"", u"b:1"},
        {"blank separated", u" http=a:1  https=b:2 ", u"a:1", u"b:2"},
        {"empty entries", u";;http=a:1;;", u"a:1", u""},
        {"IPv6 in brackets", u"http=[fe80::1]:3128;https=[::1]", u"[fe80::1]:3128", u"[::1]:80"},
        {"http:// before the server", u"http://proxy:3128", u"proxy:3128", u"proxy:3128"},
        {"https:// server unusable", u"https://proxy:3128", u"", u""},
        {"socks:// server unusable for its scheme only", u"http=socks://s:1;https=b:2", u"",
         u"b:2"},
        {"scheme entry wins over the general one", u"a:1;https=b:2", u"a:1", u"b:2"},
        {"first entry for a scheme decides", u"http=a:1;http=c:3", u"a:1", u""},
        {"first general entry decides", u"a:1 c:3", u"a:1", u"a:1"},
        {"unusable scheme entry still decides", u"https=[::1;a:1", u"a:1", u""},
        {"malformed general entry", u"a:99999", u"", u""},
        {"bare IPv6", u"::1", u"", u""},
        {"credentials are not part of it", u"user:pw@proxy:80", u"", u""},
        {"empty", u"", u"", u""},
    };
    for (const auto& row : rows) {
        const CProxyString string(row.text);
        EXPECT_EQ(ServerText(string.ServerFor(SchemeHttp)), row.http) << row.name;
        EXPECT_EQ(ServerText(string.ServerFor(SchemeHttps)), row.https) << row.name;
        EXPECT_FALSE(string.ServerFor(SchemeFtp).has_value()) << row.name;
    }
}

TEST(ProxyBypassList, Table) {
    const struct {
        const char* name;
        std::u16string list, host;
        bool bypassed;
    } rows[] = {
        {"exact name", u"intranet.example", u"intranet.example", true},
        {"no suffix match", u"example.com", u"www.example.com", false},
        {"letter case ignored", u"*.EXAMPLE.com", u"Www.Example.COM", true},
        {"star for a label", u"*.example.com", u"www.example.com", true},
        {"star for several labels", u"*.example.com", u"a.b.example.com", true},
        {"star needs its dot", u"*.example.com", u"example.com", false},
        {"star inside", u"www.*.com", u"www.example.com", true},
        {"address prefix", u"192.168.*", u"192.168.10.20", true},
        {"address prefix elsewhere", u"192.168.*", u"10.192.168.1", false},
        {"several stars", u"*a*b*c", u"xaybzc", true},
        {"several stars, wrong order", u"*a*b*c", u"xcybza", false},
        {"star alone", u"*", u"anything.example", true},
        {"semicolons and blanks", u"a.example; b.example c.example", u"c.example", true},
        {"empty entries", u";;a.example;;", u"a.example", true},
        {"empty list", u"", u"a.example", false},
        {"IPv6 entry with brackets", u"[2001:db8::1]", u"[2001:db8::1]", true},
        {"IPv6 entry without brackets", u"2001:db8::1", u"[2001:db8::1]", true},
        {"IPv6 pattern", u"2001:db8:*", u"[2001:db8::7]", true},
        {"<local>: name without a dot", u"<local>", u"intranet", true},
        {"<local>: name with a dot", u"<local>", u"intranet.example", false},
        {"<local>: IPv6 is no name", u"<local>", u"[2001:db8::1]", false},
        {"<local> in upper case", u"<LOCAL>", u"intranet", true},
        {"loopback name", u"", u"localhost", true},
        {"loopback name in upper case", u"", u"LocalHost", true},
        {"loopback subdomain is a name", u"", u"a.localhost", false},
        {"IPv4 loopback", u"", u"127.0.0.1", true},
        {"IPv4 loopback network", u"", u"127.200.1.1", true},
        {"IPv6 loopback", u"", u"[::1]", true},
        {"IPv6 other address", u"", u"[::2]", false},
        {"IPv4 link-local", u"", u"169.254.10.1", true},
        {"next to link-local", u"", u"169.255.0.1", false},
        {"IPv6 link-local", u"", u"[fe80::1]", true},
        {"IPv6 link-local end of range", u"", u"[febf::1]", true},
        {"next to IPv6 link-local", u"", u"[fec0::1]", false},
        {"IPv4-mapped loopback", u"", u"[::ffff:127.0.0.1]", true},
        {"IPv4-mapped link-local", u"", u"[::ffff:169.254.0.9]", true},
        {"loopback written short is a name", u"", u"127.1", false},
        {"<-loopback> keeps loopback names", u"<-loopback>", u"localhost", false},
        {"<-loopback> keeps IPv4 loopback", u"<-loopback>", u"127.0.0.1", false},
        {"<-loopback> keeps IPv6 loopback", u"<-loopback>", u"[::1]", false},
        {"<-loopback> keeps link-local", u"<-Loopback>;x", u"169.254.1.1", false},
        {"<-loopback> with an explicit entry", u"<-loopback>;127.*", u"127.0.0.1", true},
        {"<-loopback> is no pattern", u"<-loopback>", u"<-loopback>", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CProxyBypassList(row.list).Bypasses(row.host), row.bypassed) << row.name;
    }
}

TEST(ManualProxySetting, RouteNamesOneProxyOrNone) {
    const CManualProxySetting setting(u"http=a:8080;https=[2001:db8::8]:8443",
                                      u"*.intranet.example;<local>");
    const struct {
        const char* name;
        std::u16string url, route;
    } rows[] = {
        {"http through its proxy", u"http://logs.example.com/up", u"a:8080"},
        {"https through its proxy", u"https://logs.example.com/up", u"[2001:db8::8]:8443"},
        {"bypassed by pattern", u"https://logs.intranet.example/up", u""},
        {"bypassed as a plain name", u"https://logs/up", u""},
        {"loopback always direct", u"http://127.0.0.1:18000/up", u""},
        {"other schemes direct", u"ftp://logs.example.com/up", u""},
    };
    for (const auto& row : rows) {
        CParsedUrl url;
        ASSERT_TRUE(url.Parse(row.url.c_str())) << row.name;
        EXPECT_EQ(RouteText(setting.RouteFor(url)), row.route) << row.name;
    }
    EXPECT_TRUE(CManualProxySetting(u"https=b:1", u"").RouteFor(SchemeHttp, u"h").IsDirectOnly());
}

}  // namespace
