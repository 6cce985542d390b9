// Address literals: which texts are addresses (the strict forms), which address each names,
// and the prefix comparison the bypass rules use.
#include <gtest/gtest.h>

#include "net/proxy/ip_literal.h"

namespace {

using Family = CIpLiteral::Family;

TEST(IpLiteral, ReadsOnlyStrictForms) {
    const struct {
        const char* name;
        std::u16string text;
        bool read;
        Family family = Family::kIpv4;
        std::u16string sameAs = u"";  // another text of the same address
    } rows[] = {
        {"dotted quad", u"192.0.2.10", true, Family::kIpv4, u"192.0.2.10"},
        {"zero and 255", u"0.255.0.255", true, Family::kIpv4, u"0.255.0.255"},
        {"part above 255", u"192.0.2.256", false},
        {"leading zero", u"127.0.0.01", false},
        {"three parts", u"127.0.1", false},
        {"five parts", u"1.2.3.4.5", false},
        {"empty part", u"1..3.4", false},
        {"trailing dot", u"1.2.3.4.", false},
        {"hex part", u"0x7f.0.0.1", false},
        {"loopback v6", u"::1", true, Family::kIpv6, u"0:0:0:0:0:0:0:1"},
        {"all zero", u"::", true, Family::kIpv6, u"0:0:0:0:0:0:0:0"},
        {"gap at the end", u"fe80::", true, Family::kIpv6, u"FE80:0:0:0:0:0:0:0"},
        {"gap inside", u"2001:db8::5", true, Family::kIpv6, u"2001:db8:0:0:0:0:0:5"},
        {"eight groups", u"1:2:3:4:5:6:7:8", true, Family::kIpv6, u"1:2:3:4:5:6:7:8"},
        {"nine groups", u"1:2:3:4:5:6:7:8:9", false},
        {"gap and eight groups", u"1:2:3:4::5:6:7:8", false},
        {"seven groups", u"1:2:3:4:5:6:7", false},
        {"two gaps", u"1::2::3", false},
        {"three colons", u"1:::2", false},
        {"single leading colon", u":1::2", false},
        {"single trailing colon", u"1::2:", false},
        {"five hex digits", u"12345::", false},
        {"not hex", u"g::1", false},
        {"mapped dotted tail", u"::ffff:127.0.0.1", true, Family::kIpv6, u"::ffff:7f00:1"},
        {"dotted tail after six groups", u"1:2:3:4:5:6:1.2.3.4", true, Family::kIpv6,
         u"1:2:3:4:5:6:102:304"},
        {"dotted tail too late", u"1:2:3:4:5:6:7:1.2.3.4", false},
        {"dotted part before the end", u"1.2.3.4::1", false},
        {"zone", u"fe80::1%eth0", false},
        {"brackets are no part of the text", u"[::1]", false},
        {"a name", u"localhost", false},
        {"empty", u"", false},
    };
    for (const auto& row : rows) {
        CIpLiteral address, same;
        ASSERT_EQ(CIpLiteral::Read(row.text, address), row.read) << row.name;
        if (row.read) {
            EXPECT_EQ(address.AddressFamily(), row.family) << row.name;
            ASSERT_TRUE(CIpLiteral::Read(row.sameAs, same)) << row.name;
            EXPECT_TRUE(address.SharesPrefix(same, address.BitLength())) << row.name;
        }
    }
}

TEST(IpLiteral, HostsTakeIpv6InBrackets) {
    CIpLiteral address;
    EXPECT_TRUE(CIpLiteral::ReadHost(u"[::1]", address));
    EXPECT_EQ(address.AddressFamily(), Family::kIpv6);
    EXPECT_TRUE(CIpLiteral::ReadHost(u"::1", address));
    EXPECT_TRUE(CIpLiteral::ReadHost(u"10.0.0.1", address));
    EXPECT_FALSE(CIpLiteral::ReadHost(u"[10.0.0.1]", address));
    EXPECT_FALSE(CIpLiteral::ReadHost(u"[::1", address));
}

TEST(IpLiteral, PrefixComparison) {
    const struct {
        const char* name;
        std::u16string a, b;
        std::uint32_t bits;
        bool shared;
    } rows[] = {
        {"same /8", u"10.1.2.3", u"10.200.0.0", 8, true},
        {"differs in the 9th bit", u"10.128.0.0", u"10.0.0.0", 9, false},
        {"inside a /23", u"10.1.3.3", u"10.1.2.0", 23, true},
        {"outside a /23", u"10.1.4.3", u"10.1.2.0", 23, false},
        {"zero bits", u"1.2.3.4", u"5.6.7.8", 0, true},
        {"past the length", u"1.2.3.4", u"1.2.3.4", 33, false},
        {"families differ", u"::ffff:1.2.3.4", u"1.2.3.4", 0, false},
        {"v6 /10", u"febf::1", u"fe80::", 10, true},
        {"v6 outside /10", u"fec0::1", u"fe80::", 10, false},
        {"v6 whole", u"::1", u"::1", 128, true},
    };
    for (const auto& row : rows) {
        CIpLiteral a, b;
        ASSERT_TRUE(CIpLiteral::Read(row.a, a) && CIpLiteral::Read(row.b, b)) << row.name;
        EXPECT_EQ(a.SharesPrefix(b, row.bits), row.shared) << row.name;
    }
}

TEST(IpLiteral, MappedIpv4) {
    CIpLiteral mapped, ipv4, expected;
    ASSERT_TRUE(CIpLiteral::Read(u"::ffff:169.254.1.2", mapped));
    ASSERT_TRUE(mapped.MappedIpv4(ipv4));
    ASSERT_TRUE(CIpLiteral::Read(u"169.254.1.2", expected));
    EXPECT_TRUE(ipv4.SharesPrefix(expected, 32));
    ASSERT_TRUE(CIpLiteral::Read(u"::fffe:169.254.1.2", mapped));
    EXPECT_FALSE(mapped.MappedIpv4(ipv4));
    EXPECT_FALSE(expected.MappedIpv4(ipv4));
}

}  // namespace
