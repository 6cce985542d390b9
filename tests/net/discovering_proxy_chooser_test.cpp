// The chooser of Windows's settings over a fake source: which setting decides a URL's route
// and in what order the scripts are asked, one decision per scheme, host and port, and the
// run's deadline for scripts that do not answer (the run goes on, late answers are dropped).
#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "net/proxy/discovering_proxy_chooser.h"
#include "tests/net/fake_proxy_source.h"
#include "tests/net/proxy_route_text.h"

namespace {

using namespace std::chrono_literals;
using Outcome = AutoProxyOutcome;

CParsedUrl Url(const char16_t* text) {
    CParsedUrl url;
    EXPECT_TRUE(url.Parse(text)) << "the test's URL must parse";
    return url;
}

CAutoProxyAnswer Proxies(const char16_t* list) {
    return {Outcome::kProxies, list};
}

const CAutoProxyAnswer kDirect{Outcome::kDirect, u""};
const CAutoProxyAnswer kFailed{Outcome::kFailed, u""};
const CAutoProxyAnswer kLogon{Outcome::kLogonNeeded, u""};

CUserProxySetting User(bool autoDetect, const char16_t* pacUrl, const char16_t* proxy,
                       const char16_t* bypass = u"") {
    return {autoDetect, pacUrl, proxy, bypass};
}

TEST(DiscoveringProxyChooser, DecisionOrder) {
    const struct {
        const char* name;
        std::optional<CUserProxySetting> user;
        CAutoProxyAnswer pac, pacLogon, detect;
        CMachineProxySetting machine;
        const char16_t* url;
        std::u16string route;
        const char* asks;
    } rows[] = {
        {"script's list in order", User(false, u"http://pac/p.pac", u""),
         Proxies(u"a:1; b:2 ;DIRECT"), {}, {}, {}, u"http://up.test/", u"a:1 b:2 DIRECT", "pac"},
        {"script's list read by blanks too", User(false, u"http://pac/p.pac", u""),
         Proxies(u"a:1 http://b:2\tc"), {}, {}, {}, u"http://up.test/", u"a:1 b:2 c:80", "pac"},
        {"script says direct: the manual proxy is not taken",
         User(false, u"http://pac/p.pac", u"m:8"), kDirect, {}, {}, {}, u"http://up.test/", u"",
         "pac"},
        {"script fails: manual proxy", User(false, u"http://pac/p.pac", u"m:8"), kFailed, {}, {},
         {}, u"http://up.test/", u"m:8", "pac"},
        {"script names nothing usable: manual proxy", User(false, u"http://pac/p.pac", u"m:8"),
         Proxies(u"https://s:1 socks=t:2 a:0"), {}, {}, {}, u"http://up.test/", u"m:8", "pac"},
        {"script fails: auto-detection next", User(true, u"http://pac/p.pac", u"m:8"), kFailed,
         {}, Proxies(u"d:3"), {}, u"http://up.test/", u"d:3", "pac detect"},
        {"script answers: no auto-detection", User(true, u"http://pac/p.pac", u""),
         Proxies(u"a:1"), {}, Proxies(u"d:3"), {}, u"http://up.test/", u"a:1", "pac"},
        {"script's server wants a logon: asked again allowing it",
         User(false, u"http://pac/p.pac", u""), kLogon, Proxies(u"l:4"), {}, {},
         u"http://up.test/", u"l:4", "pac pac+logon"},
        {"logon refused too: manual proxy", User(false, u"http://pac/p.pac", u"m:8"), kLogon,
         kLogon, {}, {}, u"http://up.test/", u"m:8", "pac pac+logon"},
        {"auto-detection alone", User(true, u"", u""), {}, {}, Proxies(u"d:3"), {},
         u"http://up.test/", u"d:3", "detect"},
        {"auto-detection finds nothing: manual proxy", User(true, u"", u"m:8"), {}, {}, kFailed,
         {}, u"http://up.test/", u"m:8", "detect"},
        {"auto-detection finds nothing: machine proxy", User(true, u"", u""), {}, {}, kFailed,
         {true, u"k:9", u""}, u"http://up.test/", u"k:9", "detect"},
        {"manual proxy", User(false, u"", u"http=m:8;https=s:9"), {}, {}, {}, {},
         u"https://up.test/", u"s:9", ""},
        {"manual bypass list sends the host direct", User(false, u"", u"m:8", u"*.corp;up.test"),
         {}, {}, {}, {true, u"k:9", u""}, u"http://up.test/", u"", ""},
        {"manual bypass list leaves other hosts", User(false, u"", u"m:8", u"*.corp"), {}, {}, {},
         {}, u"http://up.test/", u"m:8", ""},
        {"manual proxy for http only: https goes direct, not to the machine's",
         User(false, u"", u"http=m:8"), {}, {}, {}, {true, u"k:9", u""}, u"https://up.test/", u"",
         ""},
        {"no user setting: machine proxy", User(false, u"", u""), {}, {}, {},
         {true, u"k:9", u"*.corp"}, u"http://up.test/", u"k:9", ""},
        {"machine bypass list", User(false, u"", u""), {}, {}, {}, {true, u"k:9", u"*.test"},
         u"http://up.test/", u"", ""},
        {"unreadable user setting: machine proxy", std::nullopt, {}, {}, {},
         {true, u"k:9", u""}, u"http://up.test/", u"k:9", ""},
        {"machine names no proxy: direct", User(false, u"", u""), {}, {}, {},
         {false, u"k:9", u""}, u"http://up.test/", u"", ""},
        {"nothing set: direct", User(false, u"", u""), {}, {}, {}, {}, u"http://up.test/", u"",
         ""},
    };
    for (const auto& row : rows) {
        const auto source = std::make_shared<CFakeProxySource>();
        source->user = row.user;
        source->pac = row.pac;
        source->pacLogon = row.pacLogon;
        source->detect = row.detect;
        source->machine = row.machine;
        CDiscoveringProxyChooser chooser(source, 5s);
        EXPECT_EQ(RouteText(chooser.RouteFor(Url(row.url))), row.route) << row.name;
        EXPECT_EQ(source->Asks(), row.asks) << row.name;
    }
}

TEST(DiscoveringProxyChooser, OneDecisionPerSchemeHostAndPort) {
    const auto source = std::make_shared<CFakeProxySource>();
    source->user = User(false, u"http://pac/p.pac", u"");
    source->pac = Proxies(u"a:1");
    CDiscoveringProxyChooser chooser(source, 5s);
    for (const char16_t* url : {u"http://up.test:8080/scripts/up.php", u"http://UP.test:8080/x",
                                u"http://up.test:8081/", u"https://up.test:8080/"}) {
        EXPECT_EQ(RouteText(chooser.RouteFor(Url(url))), u"a:1");
    }
    EXPECT_EQ(source->Asks(), "pac pac pac");
    const std::vector<WideString> urls = source->Urls();
    ASSERT_EQ(urls.size(), 3u);
    EXPECT_EQ(urls[0], u"http://up.test:8080/scripts/up.php") << "the script sees the whole URL";
}

TEST(DiscoveringProxyChooser, AFailedScriptSourceIsNotAskedAgainInTheRun) {
    const auto source = std::make_shared<CFakeProxySource>();
    source->user = User(true, u"http://pac/p.pac", u"m:8");
    source->pac = kFailed;
    source->detect = Proxies(u"d:3");
    CDiscoveringProxyChooser chooser(source, 5s);
    EXPECT_EQ(RouteText(chooser.RouteFor(Url(u"http://one.test/"))), u"d:3");
    source->detect = kFailed;
    EXPECT_EQ(RouteText(chooser.RouteFor(Url(u"http://two.test/"))), u"m:8");
    EXPECT_EQ(RouteText(chooser.RouteFor(Url(u"http://three.test/"))), u"m:8");
    EXPECT_EQ(source->Asks(), "pac detect detect");
    EXPECT_EQ(source->MachineReads(), 0) << "a manual proxy leaves the machine's unread";
}

// A script that never answers: the run waits for the time it has (shortened to ~1 s here),
// then takes the manual proxy, and asks no script for later URLs.
TEST(DiscoveringProxyChooser, AScriptThatNeverAnswersCostsTheDeadlineOnce) {
    const auto source = std::make_shared<CFakeProxySource>();
    source->user = User(false, u"http://pac/p.pac", u"m:8");
    source->pac = Proxies(u"late:1");
    source->hold = true;
    constexpr auto kDeadline = 1000ms;
    {
        CDiscoveringProxyChooser chooser(source, kDeadline);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(RouteText(chooser.RouteFor(Url(u"http://one.test/"))), u"m:8");
        const auto first = std::chrono::steady_clock::now() - start;
        EXPECT_GE(first, kDeadline - 50ms) << "the run waited for its time";
        EXPECT_LT(first, CFakeProxySource::kHoldBound / 2) << "the run did not wait for the ask";

        const auto again = std::chrono::steady_clock::now();
        EXPECT_EQ(RouteText(chooser.RouteFor(Url(u"http://two.test/"))), u"m:8");
        EXPECT_LT(std::chrono::steady_clock::now() - again, kDeadline)
            << "no time is left to wait for";

        source->Release();
        ASSERT_TRUE(source->WaitAnswered(1, 10s));
        EXPECT_EQ(RouteText(chooser.RouteFor(Url(u"http://one.test/"))), u"m:8")
            << "the late answer is dropped";
        EXPECT_EQ(RouteText(chooser.RouteFor(Url(u"http://three.test/"))), u"m:8");
        EXPECT_EQ(source->Asks(), "pac");
    }
}

// The run (and its chooser) ends while the ask still blocks; the ask ends afterwards and the
// thread touches none of the run's memory (the sanitizer build would see it).
TEST(DiscoveringProxyChooser, TheRunMayEndBeforeTheAsk) {
    const auto source = std::make_shared<CFakeProxySource>();
    source->user = User(true, u"", u"");
    source->detect = Proxies(u"late:1");
    source->hold = true;
    {
        CDiscoveringProxyChooser chooser(source, 200ms);
        EXPECT_EQ(RouteText(chooser.RouteFor(Url(u"http://one.test/"))), u"");
    }
    source->Release();
    EXPECT_TRUE(source->WaitAnswered(1, 10s));
}

}  // namespace
