// The no_proxy list: one row per rule, with the answer curl 7.88.1 gave for the same host and
// list, measured by tests/net/no_proxy_curl.py (an http URL to the host, http_proxy set, only
// loopback reachable). "ours" equals "curl" except where the row's name says why not.
#include <gtest/gtest.h>

#include "net/proxy/no_proxy_list.h"

namespace {

enum Way { kProxy, kDirect };

struct NoProxyRow {
    const char* name;
    std::u16string host;  // as written in the URL
    std::u16string noProxy;
    Way curl;  // measured with curl 7.88.1
    Way ours;
};

// clang-format off
const NoProxyRow kRows[] = {
    {"exact name", u"localhost", u"localhost", kDirect, kDirect},
    {"entry case ignored", u"localhost", u"LOCALHOST", kDirect, kDirect},
    {"host case ignored", u"LocalHost", u"localhost", kDirect, kDirect},
    {"parent domain", u"a.localhost", u"localhost", kDirect, kDirect},
    {"grandparent domain", u"a.b.localhost", u"b.localhost", kDirect, kDirect},
    {"leading dot, subdomain", u"a.localhost", u".localhost", kDirect, kDirect},
    {"leading dot, same name", u"localhost", u".localhost", kDirect, kDirect},
    {"leading dot, longer name", u"a.localhost", u".a.localhost", kDirect, kDirect},
    {"only one leading dot ignored", u"localhost", u"..localhost", kProxy, kProxy},
    {"suffix inside a label", u"localhost", u"calhost", kProxy, kProxy},
    {"dotted suffix inside a label", u"localhost", u".calhost", kProxy, kProxy},
    {"label prefix", u"xlocalhost", u"localhost", kProxy, kProxy},
    {"dash is no label boundary", u"a-b.localhost", u"b.localhost", kProxy, kProxy},
    {"underscore in the host", u"a_b.localhost", u"localhost", kDirect, kDirect},
    {"entry longer than the host", u"localhost", u"a.localhost", kProxy, kProxy},
    {"part of a label", u"localhost", u"host", kProxy, kProxy},
    {"entry with more after", u"localhost", u"localhostx", kProxy, kProxy},
    {"trailing dot on the host", u"localhost.", u"localhost", kDirect, kDirect},
    {"trailing dot on a subdomain host", u"a.localhost.", u"localhost", kDirect, kDirect},
    {"two trailing dots on the host", u"localhost..", u"localhost", kProxy, kProxy},
    {"trailing dot on the entry", u"localhost", u"localhost.", kDirect, kDirect},
    {"trailing dot and upper case", u"localhost", u"LOCALHOST.", kDirect, kDirect},
    {"two trailing dots on the entry", u"localhost", u"localhost..", kProxy, kProxy},
    {"star glob", u"a.localhost", u"*.localhost", kProxy, kProxy},
    {"trailing glob", u"a.localhost", u"a.*", kProxy, kProxy},
    {"glob in front", u"localhost", u"*localhost", kProxy, kProxy},
    {"glob at the end", u"localhost", u"local*", kProxy, kProxy},
    {"dot star", u"localhost", u".*", kProxy, kProxy},
    {"lone star", u"anything.example", u"*", kDirect, kDirect},
    {"star with blanks", u"anything.example", u" * ", kProxy, kProxy},
    {"star first in a list", u"anything.example", u"*,foo", kProxy, kProxy},
    {"star later in a list", u"anything.example", u"foo, *", kProxy, kProxy},
    {"two stars", u"anything.example", u"**", kProxy, kProxy},
    {"blanks around", u"localhost", u" localhost ", kDirect, kDirect},
    {"comma and blank", u"localhost", u"foo, localhost", kDirect, kDirect},
    {"empty entry", u"localhost", u"foo,,localhost", kDirect, kDirect},
    {"blank separates", u"localhost", u"foo localhost", kDirect, kDirect},
    {"tab separates", u"localhost", u"foo\tlocalhost", kDirect, kDirect},
    {"semicolon does not separate", u"localhost", u"foo;localhost", kProxy, kProxy},
    {"separators all round", u"localhost", u"  ,  , localhost  ,  ", kDirect, kDirect},
    {"trailing comma", u"localhost", u"localhost,", kDirect, kDirect},
    {"empty list", u"localhost", u"", kProxy, kProxy},
    {"lone dot", u"localhost", u".", kProxy, kProxy},
    {"lone comma", u"localhost", u",", kProxy, kProxy},
    {"port in the entry", u"localhost", u"localhost:8080", kProxy, kProxy},
    {"empty port in the entry", u"localhost", u"localhost:", kProxy, kProxy},
    {"scheme in the entry", u"localhost", u"http://localhost", kProxy, kProxy},
    {"slash after the entry", u"localhost", u"localhost/", kProxy, kProxy},
    {"a name is not its address", u"localhost", u"127.0.0.1", kProxy, kProxy},
    {"a range never matches a name", u"localhost", u"127.0.0.0/8", kProxy, kProxy},
    {"an address is not its name", u"127.0.0.1", u"localhost", kProxy, kProxy},
    {"IPv4 exact", u"127.0.0.1", u"127.0.0.1", kDirect, kDirect},
    {"IPv4 /8", u"127.0.0.1", u"127.0.0.0/8", kDirect, kDirect},
    {"IPv4 inside /24", u"127.0.0.1", u"127.0.0.0/24", kDirect, kDirect},
    {"IPv4 outside /24", u"127.0.1.1", u"127.0.0.0/24", kProxy, kProxy},
    {"IPv4 /32 of another", u"127.0.0.1", u"127.0.0.2/32", kProxy, kProxy},
    {"IPv4 /32 of itself", u"127.0.0.1", u"127.0.0.1/32", kDirect, kDirect},
    {"IPv4 inside /23", u"10.1.3.3", u"10.1.2.0/23", kDirect, kDirect},
    {"IPv4 outside /23", u"10.1.4.3", u"10.1.2.0/23", kProxy, kProxy},
    {"IPv4 inside /31", u"10.1.2.3", u"10.1.2.2/31", kDirect, kDirect},
    {"IPv4 outside /31", u"10.1.2.3", u"10.1.2.4/31", kProxy, kProxy},
    {"host bits of the range ignored", u"127.0.0.1", u"127.0.0.5/8", kDirect, kDirect},
    {"/33 matches nothing", u"127.0.0.1", u"127.0.0.1/33", kProxy, kProxy},
    {"/0 is the whole address", u"127.0.0.1", u"10.0.0.0/0", kProxy, kProxy},
    {"/0 of itself", u"127.0.0.1", u"127.0.0.1/0", kDirect, kDirect},
    {"empty count is the whole address", u"127.0.0.1", u"127.0.0.1/", kDirect, kDirect},
    {"no digits is the whole address", u"127.0.0.1", u"127.0.0.1/x", kDirect, kDirect},
    {"negative count", u"127.0.0.1", u"127.0.0.1/-1", kProxy, kProxy},
    {"digits then more", u"127.0.0.1", u"127.0.0.0/8x", kDirect, kDirect},
    {"digits then a second count", u"127.0.0.1", u"127.0.0.1/32/8", kDirect, kDirect},
    {"leading zero in the count", u"127.0.0.1", u"127.0.0.0/08", kDirect, kDirect},
    {"three-part address", u"127.0.0.1", u"127.0.0", kProxy, kProxy},
    {"address tail", u"127.0.0.1", u"0.0.1", kProxy, kProxy},
    {"dotted address tail", u"127.0.0.1", u".0.0.1", kProxy, kProxy},
    {"short range form", u"127.0.0.1", u"127/8", kProxy, kProxy},
    {"two-part range form", u"127.0.0.1", u"127.0/8", kProxy, kProxy},
    {"leading zero in the entry", u"127.0.0.1", u"127.0.0.01", kProxy, kProxy},
    {"trailing dot on an address entry", u"127.0.0.1", u"127.0.0.1.", kProxy, kProxy},
    {"leading dot on an address entry", u"127.0.0.1", u".127.0.0.1", kProxy, kProxy},
    {"port on an address entry", u"127.0.0.1", u"127.0.0.1:8080", kProxy, kProxy},
    {"glob on an address", u"127.0.0.1", u"127.*", kProxy, kProxy},
    {"IPv4 host, mapped entry", u"127.0.0.1", u"::ffff:127.0.0.1", kProxy, kProxy},
    {"IPv4 host in a mixed list", u"127.0.0.1", u"127.0.0.0/8,::1", kDirect, kDirect},
    {"IPv6 exact", u"[::1]", u"::1", kDirect, kDirect},
    {"IPv6 entry in brackets", u"[::1]", u"[::1]", kProxy, kProxy},
    {"IPv6 entry with a port", u"[::1]", u"[::1]:8080", kProxy, kProxy},
    {"IPv6 host, name entry", u"[::1]", u"localhost", kProxy, kProxy},
    {"IPv6 other address", u"[::1]", u"::2", kProxy, kProxy},
    {"IPv6 host written longer", u"[0:0::1]", u"::1", kDirect, kDirect},
    {"IPv6 host in upper case", u"[2001:DB8::5]", u"2001:db8::5", kDirect, kDirect},
    {"IPv6 link-local exact", u"[fe80::1]", u"fe80::1", kDirect, kDirect},
    {"IPv6 mapped exact", u"[::ffff:127.0.0.1]", u"::ffff:127.0.0.1", kDirect, kDirect},
    {"IPv6 mapped host, IPv4 entry", u"[::ffff:127.0.0.1]", u"127.0.0.1", kProxy, kProxy},
    {"IPv6 mapped host, IPv4 range", u"[::ffff:127.0.0.1]", u"127.0.0.0/8", kProxy, kProxy},
    {"IPv6 address tail", u"[2001:db8::5]", u"db8::5", kProxy, kProxy},
    {"IPv6 last digit", u"[::1]", u"1", kProxy, kProxy},
    {"IPv6 last group", u"[::1]", u":1", kProxy, kProxy},
    {"IPv6 range other half", u"[::1]", u"::2/127", kProxy, kProxy},
    {"IPv6 /0 of another", u"[::1]", u"::/0", kProxy, kProxy},
    {"IPv6 /129", u"[::1]", u"::1/129", kProxy, kProxy},
    {"IPv6 range of another network", u"[2001:db9::5]", u"2001:db8::/32", kProxy, kProxy},
    // curl 7.88.1 never matches an IPv6 range, and compares IPv6 entries as text; its manual
    // gives ranges to IP addresses of either family, and one address written two ways is one.
    {"departs: IPv6 /128", u"[::1]", u"::1/128", kProxy, kDirect},
    {"departs: IPv6 /127", u"[::1]", u"::/127", kProxy, kDirect},
    {"departs: IPv6 /0 of itself", u"[::1]", u"::1/0", kProxy, kDirect},
    {"departs: IPv6 no-digit count", u"[::1]", u"::1/x", kProxy, kDirect},
    {"departs: IPv6 /32", u"[2001:db8::5]", u"2001:db8::/32", kProxy, kDirect},
    {"departs: IPv6 range in upper case", u"[2001:db8::5]", u"2001:DB8::/32", kProxy, kDirect},
    {"departs: IPv6 /127 written long", u"[2001:db8::5]", u"2001:db8:0:0:0:0:0:5/127", kProxy, kDirect},
    {"departs: IPv6 link-local /10", u"[fe80::1]", u"fe80::/10", kProxy, kDirect},
    {"departs: IPv6 entry written long", u"[::1]", u"0:0:0:0:0:0:0:1", kProxy, kDirect},
    {"departs: IPv6 entry with a zero group", u"[::1]", u"::0:1", kProxy, kDirect},
    {"departs: IPv6 mapped entry in hex", u"[::ffff:127.0.0.1]", u"::ffff:7f00:1", kProxy, kDirect},
    // curl 7.88.1 matches an IPv6 host against entries as if it were a name: tails and dots.
    {"departs: IPv6 host, dotted tail entry", u"[::ffff:127.0.0.1]", u"0.0.1", kDirect, kProxy},
    {"departs: IPv6 host, leading-dot tail", u"[::ffff:127.0.0.1]", u".0.0.1", kDirect, kProxy},
    {"departs: IPv6 entry with a trailing dot", u"[::1]", u"::1.", kDirect, kProxy},
    {"departs: IPv6 entry with a leading dot", u"[::1]", u".::1", kDirect, kProxy},
    // curl 7.88.1 rewrites the URL's "127.1" to 127.0.0.1 before matching; here the host is
    // the URL's as written, and "127.1" is no address.
    {"departs: short IPv4 host, full entry", u"127.1", u"127.0.0.1", kDirect, kProxy},
    {"departs: short IPv4 host, same entry", u"127.1", u"127.1", kProxy, kDirect},
};
// clang-format on

TEST(NoProxyList, MeasuredRows) {
    for (const NoProxyRow& row : kRows) {
        const CNoProxyList list(row.noProxy);
        EXPECT_EQ(list.Bypasses(row.host), row.ours == kDirect) << row.name;
        const bool departs = std::string(row.name).rfind("departs: ", 0) == 0;
        EXPECT_EQ(row.curl != row.ours, departs) << row.name << ": a departure is named so";
        // An IPv6 host reads the same without the URL's brackets.
        if (row.host.size() > 2 && row.host.front() == u'[') {
            const std::u16string bare = row.host.substr(1, row.host.size() - 2);
            EXPECT_EQ(list.Bypasses(bare), row.ours == kDirect) << row.name << " (bare host)";
        }
    }
}

TEST(NoProxyList, EntriesAreSplitOnCommasAndBlanks) {
    const CNoProxyList list(u" a.example,\tb.example  c.example,,");
    EXPECT_FALSE(list.MatchesEveryHost());
    EXPECT_EQ(list.Entries(),
              (std::vector<std::u16string>{u"a.example", u"b.example", u"c.example"}));
    EXPECT_TRUE(CNoProxyList(u"*").MatchesEveryHost());
}

}  // namespace
