// Authentication negotiation: 401 and 407 stand as failures unless the zone allows silent
// logon and a registered handler answers one of the collected challenges. The zone comes from
// the platform's check: on Windows the system's URL security manager, which under Wine puts
// every http URL in the internet zone, so there no handler is ever asked (Windows itself would
// ask for the intranet and local-machine rows).
#include <gtest/gtest.h>

#include <vector>

#include "tests/http/client_fixture.h"
#include "tests/support/platform_expectation.h"

namespace {

class CRecordingHandler : public CAuthSchemeHandler {
public:
    explicit CRecordingHandler(bool answer) : answer_(answer) {}
    bool Authenticate(WideView challenge, bool forProxy) override {
        calls.emplace_back(WideString(challenge), forProxy);
        return answer_;
    }
    std::vector<std::pair<WideString, bool>> calls;

private:
    bool answer_;
};

TEST(HttpClientAuth, ChallengesStandAsFailureWithoutHandlers) {
    for (const int status : {401, 407}) {
        CSocketScript script;
        script.AddConnection().Reply(
            Response(status, "WWW-Authenticate: Basic realm=\"r\"\r\n", "denied"));
        CTestClient client(script);
        EXPECT_FALSE(client.RequestUrl(u"http://h/", nullptr)) << status;
        EXPECT_EQ(client.StatusCode(), status);
        EXPECT_EQ(client.Body(), "denied");
        EXPECT_EQ(client.Challenges(), std::vector<WideString>{u"Basic realm=\"r\""});
        EXPECT_TRUE(script.Connection(0).ClosedByClient());
    }
}

TEST(HttpClientAuth, UncheckedStatusNeverNegotiates) {
    CSocketScript script;
    script.AddConnection().Reply(Response(401, "WWW-Authenticate: Basic\r\n", ""));
    CTestClient client(script);
    CRecordingHandler handler(true);
    client.AddSchemeHandler(u"Basic", &handler);
    CRequestSettings settings;
    settings.flags = kRequestFollowRedirects;
    EXPECT_TRUE(client.RequestUrl(u"http://h/", &settings));
    EXPECT_TRUE(handler.calls.empty());
}

TEST(HttpClientAuth, HandlersAreAskedOnlyInsideTheSilentLogonZone) {
    const struct {
        const char16_t* url;
        bool askedPosix;
        bool askedWindows;
    } cases[] = {{u"http://intranet/", true, false},
                 {u"http://127.0.0.1/", true, false},
                 {u"http://example.com/", false, false}};
    for (const auto& c : cases) {
        const bool asked = OnThisPlatform(c.askedPosix, c.askedWindows);
        CSocketScript script;
        script.AddConnection().Reply(
            Response(407, "Proxy-Authenticate: Digest x\r\nProxy-Authenticate: basic y\r\n", ""));
        CTestClient client(script);
        CRecordingHandler basic(true);
        client.AddSchemeHandler(u"Basic", &basic);
        EXPECT_EQ(client.RequestUrl(c.url, nullptr), asked);
        ASSERT_EQ(basic.calls.size(), asked ? 1u : 0u);
        if (asked) {
            EXPECT_EQ(basic.calls[0].first, u"basic y");
            EXPECT_TRUE(basic.calls[0].second);
        }
    }
}

TEST(HttpClientAuth, FailedHandlersAreSkippedAndFalseAnswersGoOn) {
#ifdef _WIN32
    GTEST_SKIP() << "no URL is in a silent-logon zone under Wine, so no handler is reached";
#endif
    CSocketScript script;
    script.AddConnection().Reply(Response(
        401, "WWW-Authenticate: A 1\r\nWWW-Authenticate: B 2\r\nWWW-Authenticate: C\r\n", ""));
    CTestClient client(script);
    CRecordingHandler a(true), b(false), c(false);
    a.failed = true;
    client.AddSchemeHandler(u"A", &a);
    client.AddSchemeHandler(u"B", &b);
    client.AddSchemeHandler(u"C", &c);
    EXPECT_FALSE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_TRUE(a.calls.empty());
    ASSERT_EQ(b.calls.size(), 1u);
    EXPECT_FALSE(b.calls[0].second);
    ASSERT_EQ(c.calls.size(), 1u);
    EXPECT_EQ(c.calls[0].first, u"C");
}

TEST(HttpClientAuth, ChallengeListGrowsOverTheClientsLife) {
    CSocketScript script;
    script.AddConnection().Reply(Response(401, "WWW-Authenticate: One\r\n", ""));
    script.AddConnection().Reply(Response(401, "WWW-Authenticate: Two\r\n", ""));
    CTestClient client(script);
    EXPECT_FALSE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_FALSE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_EQ(client.Challenges(), (std::vector<WideString>{u"One", u"Two"}));
}

}  // namespace
