// Request flow: URL checks before anything is sent, the status decision, the time-out and
// port taken from the settings, and the connection kept or closed between requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/http/client_fixture.h"

namespace {

TEST(HttpClientRequest, RefusedUrlsTouchNothing) {
    // 2083 characters: 2084 with the terminator, one more than the escaped URL may take.
    const WideString tooLong =
        u"http://h/" + WideString(1023, u'a') + u"?" + WideString(1050, u'b');
    const struct {
        const char* name;
        const char16_t* url;
    } cases[] = {
        {"null", nullptr},
        {"empty", u""},
        {"escaped form one past 2083 characters", tooLong.c_str()},
        {"https", u"https://h/"},
        {"ftp", u"ftp://h/"},
        {"empty host", u"http:/p"},
        {"no scheme", u"h/p"},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(kEmptyOk);
        CTestClient client(script);
        EXPECT_FALSE(client.RequestUrl(c.url, nullptr)) << c.name;
        EXPECT_EQ(script.ConnectionsOpened(), 0u) << c.name;
    }
    CSocketScript script;
    script.AddConnection().Reply(kEmptyOk);
    CTestClient client(script);
    EXPECT_TRUE(client.RequestUrl(WideString(tooLong, 0, tooLong.size() - 1).c_str(), nullptr));
}

// The socket type names the schemes it speaks: one that speaks only https (as CTlsSocket does)
// takes https URLs, on port 443 when the URL names none, and refuses http ones.
TEST(HttpClientRequest, TheSocketTypeDecidesWhichSchemeGoesThrough) {
    const struct {
        const char* name;
        UrlSchemeKind spoken;
        const char16_t* url;
        std::uint16_t port;  // 0: refused before any connect
    } cases[] = {
        {"https over https", SchemeHttps, u"https://h/", 443},
        {"https with its port", SchemeHttps, u"https://h:8443/", 8443},
        {"https, port left empty: the settings' port", SchemeHttps, u"https://h:/", 80},
        {"http over https", SchemeHttps, u"http://h/", 0},
        {"ftp over https", SchemeHttps, u"ftp://h/", 0},
        {"http over http", SchemeHttp, u"http://h/", 80},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.SpeakOnly(c.spoken);
        script.AddConnection().Reply(kEmptyOk);
        CTestClient client(script);
        EXPECT_EQ(client.RequestUrl(c.url, nullptr), c.port != 0) << c.name;
        ASSERT_EQ(script.ConnectionsOpened(), c.port != 0 ? 1u : 0u) << c.name;
        if (c.port != 0) {
            EXPECT_EQ(script.Connects()[0].second, c.port) << c.name;
            EXPECT_EQ(script.Connection(0).Sent(), RequestHead("GET", "/")) << c.name;
        }
    }
}

TEST(HttpClientRequest, NullParsedUrlIsRefused) {
    CSocketScript script;
    CTestClient client(script);
    EXPECT_FALSE(client.RequestParsedUrl(nullptr, nullptr));
}

TEST(HttpClientRequest, SettingsGiveTimeoutAndDefaultPort) {
    CSocketScript script;
    script.AddConnection().Reply(kEmptyOk);
    CTestClient client(script);
    CRequestSettings settings;
    settings.timeoutMs = 1234;
    settings.AssignPort(8081);
    EXPECT_TRUE(client.RequestUrl(u"http://h:/x", &settings));
    EXPECT_EQ(script.TimeoutMs(), 1234u);
    ASSERT_EQ(script.Connects().size(), 1u);
    EXPECT_EQ(script.Connects()[0].first, u"h");
    EXPECT_EQ(script.Connects()[0].second, 8081);
    EXPECT_EQ(client.CurrentUrl().Port(), 8081);
}

// The time-left callback bounds every connect, send and receive; once nothing is left, the
// request ends without the next step.
struct CTimeLeftPlan {
    std::vector<std::uint32_t> answers;  // one per wait, the last one repeated
    std::size_t asked = 0;
};

std::uint32_t PlannedTimeLeft(std::uintptr_t value) {
    auto* plan = reinterpret_cast<CTimeLeftPlan*>(value);
    const std::size_t at = std::min(plan->asked++, plan->answers.size() - 1);
    return plan->answers[at];
}

TEST(HttpClientRequest, NoWaitOutlastsTheTimeLeft) {
    const struct {
        const char* name;
        std::vector<std::uint32_t> answers;
        bool result;
        std::size_t connects;
        bool sent;
        std::uint32_t lastTimeout;
    } cases[] = {
        {"plenty of time: the settings' time-out", {0xFFFFFFFFU}, true, 1, true, 1234},
        {"less time than the time-out: the wait shrinks", {300}, true, 1, true, 300},
        {"nothing left before the connect", {0}, false, 0, false, 10000},
        {"nothing left after the request went out", {5000, 5000, 0}, false, 1, true, 5000},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(kEmptyOk);
        CTestClient client(script);
        CRequestSettings settings;
        settings.timeoutMs = 1234;
        CTimeLeftPlan plan{c.answers};
        settings.timeLeft = &PlannedTimeLeft;
        settings.timeLeftValue = reinterpret_cast<std::uintptr_t>(&plan);
        EXPECT_EQ(client.RequestUrl(u"http://h/x", &settings), c.result) << c.name;
        EXPECT_EQ(script.Connects().size(), c.connects) << c.name;
        if (c.connects != 0) {
            EXPECT_EQ(script.Connection(0).Sent().empty(), !c.sent) << c.name;
        }
        EXPECT_EQ(script.TimeoutMs(), std::min(c.lastTimeout, 1234u)) << c.name;
    }
}

TEST(HttpClientRequest, UrlPortWinsOverSettings) {
    CSocketScript script;
    script.AddConnection().Reply(kEmptyOk);
    CTestClient client(script);
    CRequestSettings settings;
    settings.AssignPort(8081);
    EXPECT_TRUE(client.RequestUrl(u"http://h:81/x", &settings));
    EXPECT_EQ(script.Connects()[0].second, 81);
}

TEST(HttpClientRequest, StatusDecisionTable) {
    const struct {
        int status;
        bool checked;  // result with kRequestCheckStatus
    } cases[] = {{200, true},  {201, true},  {202, true},  {203, true},  {204, true},
                 {205, true},  {206, true},  {304, true},  {305, true},  {100, false},
                 {101, false}, {207, false}, {300, false}, {307, false}, {308, false},
                 {400, false}, {403, false}, {404, false}, {500, false}, {2000, false}};
    for (const auto& c : cases) {
        for (const bool check : {true, false}) {
            CSocketScript script;
            // 100 is interim: a final 404 follows it.
            const std::string reply = c.status == 100
                                          ? "HTTP/1.1 100 Continue\r\n\r\n" + Response(404, "", "")
                                          : Response(c.status, "", "");
            script.AddConnection().Reply(reply);
            CTestClient client(script);
            CRequestSettings settings;
            settings.flags = check ? kRequestCheckStatus : 0;
            const bool expected = check ? c.checked : true;
            EXPECT_EQ(client.RequestUrl(u"http://h/", &settings), expected)
                << c.status << (check ? " checked" : " unchecked");
            EXPECT_EQ(script.Connection(0).ClosedByClient(), !expected) << c.status;
        }
    }
}

TEST(HttpClientRequest, RedirectWithoutFollowFlagFails) {
    for (const int status : {301, 302, 303}) {
        CSocketScript script;
        script.AddConnection().Reply(Response(status, "Location: /elsewhere\r\n", ""));
        CTestClient client(script);
        CRequestSettings settings;
        settings.flags = kRequestCheckStatus;
        EXPECT_FALSE(client.RequestUrl(u"http://h/", &settings)) << status;
        EXPECT_EQ(client.StatusCode(), status);
        EXPECT_EQ(script.Connection(0).Sent(), RequestHead("GET", "/")) << status;
    }
}

TEST(HttpClientRequest, SecondRequestReusesTheConnectionAndClearsTheFirst) {
    CSocketScript script;
    script.AddConnection()
        .Reply(Response(200, "X-First: 1\r\n", "one"))
        .Reply(Response(201, "X-Second: 2\r\n", "second"));
    CTestClient client(script);
    ASSERT_TRUE(client.RequestUrl(u"http://h/1", nullptr));
    EXPECT_EQ(client.Body(), "one");
    ASSERT_TRUE(client.RequestUrl(u"http://h/2", nullptr));
    EXPECT_EQ(script.ConnectionsOpened(), 1u);
    EXPECT_EQ(script.Connection(0).Sent(), RequestHead("GET", "/1") + RequestHead("GET", "/2"));
    EXPECT_EQ(client.StatusCode(), 201);
    EXPECT_EQ(client.Header(u"X-First"), "<absent>");
    EXPECT_EQ(client.Header(u"X-Second"), "2");
    EXPECT_EQ(client.Response(), Response(201, "X-Second: 2\r\n", "second"));
}

TEST(HttpClientRequest, RequestForAnotherServerGetsItsOwnConnection) {
    CSocketScript script;
    script.AddConnection().Reply(kEmptyOk);
    script.AddConnection().Reply(kEmptyOk);
    script.AddConnection().Reply(kEmptyOk);
    CTestClient client(script);
    ASSERT_TRUE(client.RequestUrl(u"http://a/", nullptr));
    ASSERT_TRUE(client.RequestUrl(u"http://b/", nullptr));
    ASSERT_TRUE(client.RequestUrl(u"http://b:81/", nullptr));
    EXPECT_EQ(script.ConnectionsOpened(), 3u);
    EXPECT_TRUE(script.Connection(0).ClosedByClient());
    EXPECT_EQ(script.Connection(1).Sent(), RequestHead("GET", "/", "b"));
    EXPECT_TRUE(script.Connection(1).ClosedByClient());
    EXPECT_FALSE(script.Connection(2).ClosedByClient());
}

TEST(HttpClientRequest, RefusedConnectFailsWithoutSending) {
    CSocketScript script;
    script.RefuseNextConnect(10061);
    script.AddConnection().Reply(kEmptyOk);
    CTestClient client(script);
    EXPECT_FALSE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_EQ(script.ConnectionsOpened(), 0u);
    EXPECT_TRUE(client.RequestUrl(u"http://h/", nullptr));  // the next attempt connects
}

TEST(HttpClientRequest, FailedReadClosesAndKeepsWhatWasRead) {
    CSocketScript script;
    script.AddConnection().Reply("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc");
    CTestClient client(script);
    EXPECT_FALSE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_TRUE(script.Connection(0).ClosedByClient());
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(client.LastReceiveResult(), kReceiveBodyFailed);
    EXPECT_EQ(client.Body(), "abc");
}

}  // namespace
