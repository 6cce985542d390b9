// The built-in IPv4 resolver's contract, driven through scripted name services so that hint
// checks, service rules, datagram twins, numeric hosts and alias chains are exact and need no
// network: every host answer and service port comes from the script below. The system's
// records go in and out through CSystemRecords and CAddressRecordView.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/resolve/address_records.h"
#include "net/resolve/builtin_resolver.h"
#include "net/socket/socket_library_init.h"
#include "platform/socket_error.h"
#include "tests/support/system_records.h"

namespace {

// The values of the hint and record fields, the same on every system but where marked.
constexpr int kPassive = 1;
constexpr int kCanonicalName = 2;
constexpr int kNumericHost = 4;
constexpr int kIpv4 = 2;
constexpr int kStream = 1;
constexpr int kDatagram = 2;
constexpr int kRaw = 3;
constexpr int kTcp = 6;
#ifdef _WIN32
constexpr int kIpv6 = 23;
constexpr int kNameRequired = 4;  // NI_NAMEREQD
#else
constexpr int kIpv6 = 10;
constexpr int kNameRequired = 8;  // NI_NAMEREQD
#endif
// A stream type with Linux's SOCK_NONBLOCK creation bit, which no hint may carry.
constexpr int kStreamWithCreationBits = kStream | 04000;

using Field = CSystemRecords::RecordField;

// The scripted name services: answers by name, failures by name, ports by "name/protocol".
struct CScript {
    std::map<std::string, CHostAnswer> hosts;
    std::map<std::string, std::int32_t> hostFailures;
    std::map<std::string, std::int32_t> ports;  // host byte order
    std::vector<std::string> hostsAsked;
};

CScript g_script;

std::int32_t ScriptedHost(const char* name, CHostAnswer& answer) {
    g_script.hostsAsked.push_back(name);
    const auto failure = g_script.hostFailures.find(name);
    if (failure != g_script.hostFailures.end()) {
        return failure->second;
    }
    const auto found = g_script.hosts.find(name);
    if (found == g_script.hosts.end()) {
        return kWsaHostNotFound;
    }
    answer = found->second;
    return 0;
}

std::int32_t ScriptedPort(const char* name, const char* protocol) {
    const auto found = g_script.ports.find(std::string(name) + "/" + protocol);
    return found == g_script.ports.end() ? -1 : found->second;
}

constexpr CResolverLookups kScripted = {&ScriptedHost, &ScriptedPort};

CHostAnswer Ipv4Answer(const std::string& officialName,
                       const std::vector<CIpv4Address>& addresses) {
    CHostAnswer answer;
    answer.addressType = kIpv4;
    answer.addressLength = 4;
    answer.officialName = officialName;
    for (const CIpv4Address& address : addresses) {
        answer.addresses.emplace_back(reinterpret_cast<const char*>(address.data()), 4);
    }
    return answer;
}

CHostAnswer EmptyAnswer(const std::string& officialName) {
    CHostAnswer answer;
    answer.addressType = kIpv6;
    answer.addressLength = 16;
    answer.officialName = officialName;
    answer.addresses.emplace_back(16, '\x01');
    return answer;
}

// One entry as the tests compare it: "flags/type/protocol address:port".
std::string Describe(const addrinfo* entry) {
    const CAddressRecordView view = ViewAddressRecord(entry);
    EXPECT_EQ(view.family, kIpv4);
    EXPECT_EQ(view.addressLength, 16u);
    CIpv4Address address = {};
    std::uint16_t port = 0;
    EXPECT_EQ(ReadIpv4SocketAddress(view.address, view.addressLength, address, port), 0);
    return std::to_string(view.flags) + "/" + std::to_string(view.socketType) + "/" +
           std::to_string(view.protocol) + " " + DottedIpv4(address) + ":" + std::to_string(port);
}

class BuiltinResolver : public ::testing::Test {
protected:
    void SetUp() override {
        // The system's service lookups on Windows need the socket library started.
        ASSERT_TRUE(SocketLibrary().Start());
        g_script = CScript();
        g_script.hosts["one.test"] = Ipv4Answer("one.test", {{192, 0, 2, 1}});
        g_script.hosts["two.test"] = Ipv4Answer("two.test", {{192, 0, 2, 1}, {192, 0, 2, 2}});
        g_script.ports["web/tcp"] = 80;
        g_script.ports["logs/udp"] = 514;
        g_script.ports["both/tcp"] = 161;
        g_script.ports["both/udp"] = 162;
    }
    void TearDown() override { BuiltinFreeAddrInfo(list_); }

    int Resolve(const char* host, const char* service, const addrinfo* hints) {
        BuiltinFreeAddrInfo(list_);
        list_ = reinterpret_cast<addrinfo*>(1);  // must be cleared on every path
        return BuiltinResolveWith(kScripted, host, service, hints, &list_);
    }
    int Resolve(const char* host, const char* service, int flags, int socketType) {
        return Resolve(host, service, records_.Hints(flags, 0, socketType, 0));
    }
    std::vector<std::string> Listed() const {
        std::vector<std::string> entries;
        for (const addrinfo* entry = list_; entry != nullptr;
             entry = ViewAddressRecord(entry).next) {
            entries.push_back(Describe(entry));
        }
        return entries;
    }
    const char* CanonicalName() const { return ViewAddressRecord(list_).canonicalName; }

    CSystemRecords records_;
    addrinfo* list_ = nullptr;
};

using EntryTexts = std::vector<std::string>;

TEST_F(BuiltinResolver, HintErrors) {
    struct Case {
        const char* name;
        const char* host;
        int flags;
        int family;
        int socketType;
        Field filled;
        int expected;
    };
    const Case cases[] = {
        {"address length set", "one.test", 0, 0, 0, Field::kAddressLength, 11003},
        {"canonical name set", "one.test", 0, 0, 0, Field::kCanonicalName, 11003},
        {"address set", "one.test", 0, 0, 0, Field::kAddress, 11003},
        {"next set", "one.test", 0, 0, 0, Field::kNext, 11003},
        {"canonical flag without host", nullptr, kCanonicalName, 0, 0, Field::kNone, 10022},
        {"family IPv6", "one.test", 0, kIpv6, 0, Field::kNone, 10047},
        {"family negative", "one.test", 0, -1, 0, Field::kNone, 10047},
        {"family huge", "one.test", 0, 0x7FFFFFFF, 0, Field::kNone, 10047},
        {"socket type 4", "one.test", 0, 0, 4, Field::kNone, 10044},
        {"socket type negative", "one.test", 0, 0, -1, Field::kNone, 10044},
        {"socket type with creation bits", "one.test", 0, 0, kStreamWithCreationBits, Field::kNone,
         10044},
    };
    for (const Case& c : cases) {
        const addrinfo* hints = records_.Hints(c.flags, c.family, c.socketType, 0, c.filled);
        EXPECT_EQ(Resolve(c.host, "80", hints), c.expected) << c.name;
        EXPECT_EQ(list_, nullptr) << c.name;
    }
    EXPECT_TRUE(g_script.hostsAsked.empty());
    EXPECT_EQ(Resolve(nullptr, nullptr, nullptr), 11001) << "neither host nor service";
    EXPECT_EQ(BuiltinResolveWith(kScripted, "one.test", "80", nullptr, nullptr), 10014);
}

TEST_F(BuiltinResolver, NumericHostNeedsNoLookup) {
    ASSERT_EQ(Resolve("10.1.2.3", "80", 0, kStream), 0);
    EXPECT_EQ(Listed(), EntryTexts{"4/1/0 10.1.2.3:80"});
    EXPECT_EQ(CanonicalName(), nullptr);
    ASSERT_EQ(Resolve("10.1.2.3", "80", kCanonicalName, kStream), 0);
    ASSERT_NE(CanonicalName(), nullptr);
    EXPECT_STREQ(CanonicalName(), "10.1.2.3");
    EXPECT_TRUE(g_script.hostsAsked.empty());
}

TEST_F(BuiltinResolver, HostsThatAreNotThreeDotNumbersAreNames) {
    for (const char* host : {"10.1.2", "10.1.2.3.4", "10.1.2.x", "256.1.2.3", "10..2.3", ""}) {
        g_script.hostsAsked.clear();
        EXPECT_EQ(Resolve(host, "80", 0, kStream), 11001) << host;
        EXPECT_EQ(g_script.hostsAsked, std::vector<std::string>{host}) << host;
    }
}

TEST_F(BuiltinResolver, NumericHostFlagRefusesNames) {
    EXPECT_EQ(Resolve("one.test", "80", kNumericHost, kStream), 11001);
    EXPECT_TRUE(g_script.hostsAsked.empty());
    ASSERT_EQ(Resolve("127.0.0.1", "80", kNumericHost, kStream), 0);
    EXPECT_EQ(Listed(), EntryTexts{"4/1/0 127.0.0.1:80"});
}

TEST_F(BuiltinResolver, MissingHostIsLoopbackOrAnyAddress) {
    ASSERT_EQ(Resolve(nullptr, "8080", 0, kStream), 0);
    EXPECT_EQ(Listed(), EntryTexts{"0/1/0 127.0.0.1:8080"});
    ASSERT_EQ(Resolve(nullptr, "8080", kPassive, kStream), 0);
    EXPECT_EQ(Listed(), EntryTexts{"0/1/0 0.0.0.0:8080"});
}

TEST_F(BuiltinResolver, ServiceRules) {
    struct Case {
        const char* name;
        const char* service;
        int socketType;
        int expected;
        EntryTexts entries;
    };
    const Case cases[] = {
        {"numeric, no type: datagram twins",
         "80",
         0,
         0,
         {"0/1/0 192.0.2.1:80", "0/2/0 192.0.2.1:80", "0/1/0 192.0.2.2:80", "0/2/0 192.0.2.2:80"}},
        {"numeric datagram", "53", kDatagram, 0, {"0/2/0 192.0.2.1:53", "0/2/0 192.0.2.2:53"}},
        {"empty text is port 0", "", kStream, 0, {"0/1/0 192.0.2.1:0", "0/1/0 192.0.2.2:0"}},
        {"highest port", "65535", kStream, 0, {"0/1/0 192.0.2.1:65535", "0/1/0 192.0.2.2:65535"}},
        {"above 65535 is no number", "65536", kStream, 10109, {}},
        {"sign is no number", "+80", kStream, 10109, {}},
        {"blank is no number", " 80", kStream, 10109, {}},
        {"negative is no number", "-1", 0, 11001, {}},
        {"tcp name", "web", kStream, 0, {"0/1/0 192.0.2.1:80", "0/1/0 192.0.2.2:80"}},
        {"tcp name, no type", "web", 0, 0, {"0/1/0 192.0.2.1:80", "0/1/0 192.0.2.2:80"}},
        {"udp-only name, stream asked", "logs", kStream, 10109, {}},
        {"udp-only name, no type", "logs", 0, 0, {"0/2/0 192.0.2.1:514", "0/2/0 192.0.2.2:514"}},
        {"name for both, no type",
         "both",
         0,
         0,
         {"0/1/0 192.0.2.1:161", "0/2/0 192.0.2.1:162", "0/1/0 192.0.2.2:161",
          "0/2/0 192.0.2.2:162"}},
        {"name for both, datagram",
         "both",
         kDatagram,
         0,
         {"0/2/0 192.0.2.1:162", "0/2/0 192.0.2.2:162"}},
        {"name with raw type", "web", kRaw, 10109, {}},
        {"unknown name, no type", "nosuch", 0, 11001, {}},
        {"unknown name, stream", "nosuch", kStream, 10109, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Resolve("two.test", c.service, 0, c.socketType), c.expected) << c.name;
        EXPECT_EQ(Listed(), c.entries) << c.name;
    }
}

TEST_F(BuiltinResolver, MissingServiceIsPortZero) {
    ASSERT_EQ(Resolve("one.test", nullptr, records_.Hints(0, 0, 0, kTcp)), 0);
    EXPECT_EQ(Listed(), EntryTexts{"0/0/6 192.0.2.1:0"});
}

TEST_F(BuiltinResolver, AliasesAreFollowedToTheirAddresses) {
    g_script.hosts["www.test"] = EmptyAnswer("edge.test");
    g_script.hosts["edge.test"] = EmptyAnswer("origin.test");
    g_script.hosts["origin.test"] = Ipv4Answer("origin.test", {{198, 51, 100, 7}});
    ASSERT_EQ(Resolve("www.test", "80", kCanonicalName, kStream), 0);
    EXPECT_EQ(Listed(), EntryTexts{"0/1/0 198.51.100.7:80"});
    EXPECT_EQ(g_script.hostsAsked,
              (std::vector<std::string>{"www.test", "edge.test", "origin.test"}));
    ASSERT_NE(CanonicalName(), nullptr);
    EXPECT_STREQ(CanonicalName(), "origin.test");
    EXPECT_EQ(ViewAddressRecord(list_).next, nullptr);
}

TEST_F(BuiltinResolver, AnAnswerWithoutIpv4AddressesEndsTheLookup) {
    struct Case {
        const char* name;
        CHostAnswer answer;
        std::size_t attempts;
    };
    CHostAnswer noAddresses = Ipv4Answer("", {});
    const Case cases[] = {
        {"official name equals the name", EmptyAnswer("start.test"), 1},
        {"official name empty", EmptyAnswer(""), 1},
        {"IPv4 answer without addresses", noAddresses, 1},
    };
    for (const Case& c : cases) {
        g_script.hostsAsked.clear();
        g_script.hosts["start.test"] = c.answer;
        EXPECT_EQ(Resolve("start.test", "80", 0, kStream), 11003) << c.name;
        EXPECT_EQ(g_script.hostsAsked.size(), c.attempts) << c.name;
    }
}

TEST_F(BuiltinResolver, AliasChainsStopAfterSixteenAttempts) {
    for (int i = 0; i < 40; ++i) {
        g_script.hosts["n" + std::to_string(i)] = EmptyAnswer("n" + std::to_string(i + 1));
    }
    EXPECT_EQ(Resolve("n0", "80", 0, kStream), 11003);
    EXPECT_EQ(g_script.hostsAsked.size(), 16u);
    g_script.hostsAsked.clear();
    g_script.hosts["n15"] = Ipv4Answer("n15", {{192, 0, 2, 15}});
    ASSERT_EQ(Resolve("n0", "80", 0, kStream), 0) << "the sixteenth attempt may still answer";
    EXPECT_EQ(Listed(), EntryTexts{"0/1/0 192.0.2.15:80"});
}

TEST_F(BuiltinResolver, LookupFailuresKeepOnlyTryAgainAndNonRecoverable) {
    const std::pair<std::int32_t, int> cases[] = {
        {11001, 11001}, {11002, 11002}, {11003, 11003}, {11004, 11001}, {10060, 11001}};
    for (const auto& [failure, expected] : cases) {
        g_script.hostFailures["fail.test"] = failure;
        EXPECT_EQ(Resolve("fail.test", "80", 0, kStream), expected) << failure;
        EXPECT_EQ(list_, nullptr);
    }
}

TEST_F(BuiltinResolver, HostNamesOfAnyLengthAndContent) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    const std::string names[] = {everyByte,
                                 std::string(1023, 'a'),
                                 std::string(1024, 'a'),
                                 std::string(100000, '.'),
                                 "...",
                                 "1.2.3.",
                                 ".1.2.3"};
    for (const std::string& name : names) {
        g_script.hostsAsked.clear();
        EXPECT_NE(Resolve(name.c_str(), "80", 0, kStream), 0) << name.size();
        EXPECT_EQ(list_, nullptr);
        EXPECT_LE(g_script.hostsAsked.size(), 1u);
    }
    g_script.hostsAsked.clear();
    Resolve(std::string(1024, 'a').c_str(), "80", 0, kStream);
    EXPECT_TRUE(g_script.hostsAsked.empty()) << "too long for a host name: not looked up";
}

TEST_F(BuiltinResolver, SystemServicesKnowAUdpOnlyName) {
    addrinfo* list = nullptr;
    // "ntp" is 123/udp only in the services database (netbase on Linux, Wine's and Windows'
    // own services file).
    EXPECT_EQ(BuiltinGetAddrInfo("127.0.0.1", "ntp", records_.Hints(0, 0, kStream, 0), &list),
              10109);
    EXPECT_EQ(list, nullptr);
    ASSERT_EQ(BuiltinGetAddrInfo("127.0.0.1", "ntp", records_.Hints(0, 0, 0, 0), &list), 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Describe(list), "4/2/0 127.0.0.1:123");
    EXPECT_EQ(ViewAddressRecord(list).next, nullptr);
    BuiltinFreeAddrInfo(list);
}

TEST_F(BuiltinResolver, NameInfoIsNumeric) {
    const sockaddr* address = records_.Ipv4SocketAddress(kIpv4, {192, 0, 2, 9}, 8080);
    const std::uint32_t length = CSystemRecords::Ipv4SocketAddressLength();
    char host[64] = {};
    char service[16] = {};
    ASSERT_EQ(BuiltinGetNameInfo(address, length, host, sizeof(host), service, sizeof(service), 0),
              0);
    EXPECT_STREQ(host, "192.0.2.9");
    EXPECT_STREQ(service, "8080");
    EXPECT_EQ(BuiltinGetNameInfo(address, length, host, 9, nullptr, 0, 0), 10014);
    EXPECT_EQ(BuiltinGetNameInfo(address, length, host, 10, nullptr, 0, 0), 0);
    EXPECT_EQ(BuiltinGetNameInfo(address, length, host, sizeof(host), nullptr, 0, kNameRequired),
              11001);
    EXPECT_EQ(BuiltinGetNameInfo(address, 8, host, sizeof(host), nullptr, 0, 0), 10014);
    EXPECT_EQ(BuiltinGetNameInfo(address, length, nullptr, 0, nullptr, 0, 0), 11001);
    address = records_.Ipv4SocketAddress(kIpv6, {192, 0, 2, 9}, 8080);
    EXPECT_EQ(BuiltinGetNameInfo(address, length, host, sizeof(host), nullptr, 0, 0), 10047);
}

}  // namespace
