// Redirects: the new target of a 301, 302 or 303, the connection it goes over, the request
// repeated whole, the bound on chains, and the judgement of the last response.
#include <gtest/gtest.h>

#include "tests/http/client_fixture.h"

namespace {

std::string Redirect(int status, const std::string& location, const std::string& extra = "") {
    return Response(status, "Location: " + location + "\r\n" + extra, "moved");
}

struct TargetCase {
    const char* name;
    const char16_t* url;
    std::string location;
    std::string target;
};

TEST(HttpClientRedirect, LocationTargets) {
    const TargetCase cases[] = {
        {"absolute path", u"http://h/dir/page", "/other", "/other"},
        {"relative to a folder", u"http://h/dir/page", "next", "/dir/next"},
        {"relative to the root", u"http://h/", "next", "/next"},
        {"relative to a URL without path", u"http://h", "next", "/next"},
        {"same host absolute URL", u"http://h/a", "http://h/b?c=1", "/b?c=1"},
        {"white space around", u"http://h/dir/page", " \t/other \t", "/other"},
        {"own query kept, old one dropped", u"http://h/dir/page?a=1", "next?b=2", "/dir/next?b=2"},
        {"old query never carried over", u"http://h/dir/page?a=1", "/x", "/x"},
        {"# starts the new query", u"http://h/dir/page?a=1", "/x#f", "/x#f"},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(Redirect(302, c.location)).Reply(Response(200, "", "new"));
        CTestClient client(script);
        EXPECT_TRUE(client.RequestUrl(c.url, nullptr)) << c.name;
        const std::string& sent = script.Connection(0).Sent();
        const std::string second = sent.substr(sent.find("\r\n\r\n") + 4);
        EXPECT_EQ(second, RequestHead("GET", c.target)) << c.name;
        EXPECT_EQ(script.ConnectionsOpened(), 1u) << c.name;
        EXPECT_EQ(client.StatusCode(), 200) << c.name;
        EXPECT_EQ(client.Response(), Response(200, "", "new")) << c.name;
    }
}

// One connect to the new server, also when the one being left asked to close.
TEST(HttpClientRedirect, AnotherServerGetsANewConnection) {
    const struct {
        const char* location;
        const char* extra;
        const char16_t* host;
        std::uint16_t port;
    } cases[] = {{"http://other/p", "", u"other", 80},
                 {"http://h:8080/p", "", u"h", 8080},
                 {"http://H/p", "", u"H", 80},  // host names compare exactly
                 {"http://other/p", "Connection: close\r\n", u"other", 80}};
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(Redirect(301, c.location, c.extra));
        script.AddConnection().Reply(kEmptyOk);
        script.AddConnection().Reply(kEmptyOk);
        CTestClient client(script);
        EXPECT_TRUE(client.RequestUrl(u"http://h/", nullptr)) << c.location;
        ASSERT_EQ(script.Connects().size(), 2u) << c.location;
        EXPECT_TRUE(script.Connection(0).ClosedByClient()) << c.location;
        EXPECT_EQ(script.Connects()[1].first, c.host) << c.location;
        EXPECT_EQ(script.Connects()[1].second, c.port) << c.location;
        EXPECT_EQ(script.Connection(1).Sent(),
                  RequestHead("GET", "/p", std::string(c.host, c.host + WideLength(c.host))))
            << c.location;
    }
}

TEST(HttpClientRedirect, PortZeroLocationKeepsThePortBeingLeft) {
    CSocketScript script;
    script.AddConnection().Reply(Redirect(302, "http://h:/x")).Reply(kEmptyOk);
    CTestClient client(script);
    EXPECT_TRUE(client.RequestUrl(u"http://h:8080/", nullptr));
    EXPECT_EQ(script.ConnectionsOpened(), 1u);
    EXPECT_EQ(client.CurrentUrl().Port(), 8080);
}

TEST(HttpClientRedirect, ServerClosingMakesTheClientReconnectFirst) {
    CSocketScript script;
    script.AddConnection().Reply(Redirect(302, "/next", "Connection: close\r\n"));
    script.AddConnection().Reply(kEmptyOk);
    CTestClient client(script);
    EXPECT_TRUE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_TRUE(script.Connection(0).ClosedByClient());
    EXPECT_EQ(script.Connection(1).Sent(), RequestHead("GET", "/next"));
}

TEST(HttpClientRedirect, PostIsRepeatedWholeThroughTheSameSendMode) {
    const std::string body(5000, 'b');
    for (const std::uint32_t flags : {11u, 3u}) {
        CSocketScript script;
        script.AddConnection().Reply(Redirect(303, "/again")).Reply(kEmptyOk);
        CTestClient client(script);
        CRequestSettings settings;
        settings.flags = flags;
        settings.method = u"POST";
        settings.extraHeaders = u"X-E: 1\r\n";
        settings.AssignPostData(reinterpret_cast<const std::uint8_t*>(body.data()), 5000, u"t/b");
        EXPECT_TRUE(client.RequestUrl(u"http://h/first", &settings)) << flags;
        const std::string repeated =
            "POST /again HTTP/1.1\r\nContent-Length: 5000\r\nContent-Type: t/b\r\nX-E: 1\r\nHost: "
            "h\r\n" +
            kUserAgentLine + "\r\n" + body;
        const std::string& sent = script.Connection(0).Sent();
        EXPECT_EQ(sent.substr(sent.size() - repeated.size()), repeated) << flags;
        const auto& writes = script.Connection(0).Writes();
        const std::size_t perRequest = flags == 11u ? 3 : 1;  // head, 4096, 904 or one gather
        EXPECT_EQ(writes.size(), 2 * perRequest) << flags;
    }
}

// A body source that hands out its one piece after each request head, as a source that starts
// over does.
bool OnePieceAfterEachHead(const std::uint8_t** piece, std::uint32_t* length, std::uintptr_t body) {
    const auto* text = reinterpret_cast<const std::string*>(body);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text->data());
    if (*piece == bytes) {
        return false;
    }
    *piece = bytes;
    *length = static_cast<std::uint32_t>(text->size());
    return true;
}

TEST(HttpClientRedirect, ABodySourceIsRepeatedOnlyWhenItStartsOver) {
    const std::string body = "source body";
    const std::string first =
        "POST / HTTP/1.1\r\nContent-Length: 11\r\nHost: h\r\n" + kUserAgentLine + "\r\n" + body;
    const std::string again = "POST /again HTTP/1.1\r\nContent-Length: 11\r\nHost: h\r\n" +
                              kUserAgentLine + "\r\n" + body;
    const struct {
        std::uint32_t restarts;
        bool result;
        std::int32_t status;
        std::string sent;
    } cases[] = {{0, false, 302, first}, {kRequestBodySourceRestarts, true, 200, first + again}};
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(Redirect(302, "/again")).Reply(kEmptyOk);
        CTestClient client(script);
        CRequestSettings settings;
        settings.method = u"POST";
        settings.postDataLength = 11;
        settings.flags =
            kRequestBodyFromSource | kRequestCheckStatus | kRequestFollowRedirects | c.restarts;
        settings.bodySource = &OnePieceAfterEachHead;
        settings.bodySourceValue = reinterpret_cast<std::uintptr_t>(&body);
        EXPECT_EQ(client.RequestUrl(u"http://h/", &settings), c.result) << c.restarts;
        EXPECT_EQ(client.StatusCode(), c.status) << c.restarts;
        EXPECT_EQ(script.Connection(0).Sent(), c.sent) << c.restarts;
    }
}

TEST(HttpClientRedirect, WithoutLocationTheRedirectStands) {
    CSocketScript script;
    script.AddConnection().Reply(Response(301, "", "gone"));
    CTestClient client(script);
    EXPECT_TRUE(client.RequestUrl(u"http://h/", nullptr));
    EXPECT_EQ(client.StatusCode(), 301);
    EXPECT_EQ(client.Body(), "gone");
}

TEST(HttpClientRedirect, ChainsAreBoundedAtTen) {
    for (const int hops : {10, 11}) {
        CSocketScript script;
        CScriptedConnection& connection = script.AddConnection();
        for (int i = 1; i <= hops; ++i) {
            connection.Reply(Redirect(302, "/hop" + std::to_string(i)));
        }
        connection.Reply(Response(200, "", "end"));
        CTestClient client(script);
        EXPECT_EQ(client.RequestUrl(u"http://h/", nullptr), hops == 10) << hops;
        EXPECT_EQ(client.StatusCode(), hops == 10 ? 200 : 302) << hops;
        if (hops == 11) {
            EXPECT_EQ(client.Header(u"Location"), "/hop11");
            EXPECT_TRUE(connection.ClosedByClient());
        }
    }
}

TEST(HttpClientRedirect, TheLastResponseDecides) {
    const struct {
        const char* name;
        std::string second;
        bool result;
        std::int32_t status;
    } cases[] = {
        {"found", Response(200, "", "x"), true, 200},
        {"not found", Response(404, "", "x"), false, 404},
        {"unreadable", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc", false, 200},
        {"no status", "garbage\r\n\r\n", false, -1},
    };
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(Redirect(302, "/b")).Reply(c.second);
        CTestClient client(script);
        EXPECT_EQ(client.RequestUrl(u"http://h/a", nullptr), c.result) << c.name;
        EXPECT_EQ(client.StatusCode(), c.status) << c.name;
        EXPECT_EQ(script.Connection(0).ClosedByClient(), !c.result) << c.name;
    }
}

TEST(HttpClientRedirect, LocationsThatCannotBeFollowed) {
    const struct {
        const char* location;
        const char* stored;  // the header value as filed (leading white space dropped)
    } cases[] = {{"https://h/secure", "https://h/secure"},
                 {"ftp://h/f", "ftp://h/f"},
                 {"http:/nohost", "http:/nohost"},
                 {"http://user:pa@ss@127.0.0.1:18990/?x", "http://user:pa@ss@127.0.0.1:18990/?x"},
                 {"HTTP://u@h:81?x@y", "HTTP://u@h:81?x@y"},
                 {"x-y.z+1:opaque", "x-y.z+1:opaque"},
                 {"   ", ""}};
    for (const auto& c : cases) {
        CSocketScript script;
        script.AddConnection().Reply(Redirect(302, c.location)).Reply(kEmptyOk);
        script.AddConnection().Reply(kEmptyOk);
        CTestClient client(script);
        EXPECT_FALSE(client.RequestUrl(u"http://h/", nullptr)) << c.location;
        EXPECT_EQ(script.ConnectionsOpened(), 1u) << c.location;
        EXPECT_EQ(script.Connection(0).Sent(), RequestHead("GET", "/")) << c.location;
        EXPECT_EQ(client.StatusCode(), 302) << c.location;
        EXPECT_EQ(client.Header(u"Location"), c.stored) << c.location;
        EXPECT_EQ(client.Body(), "moved") << c.location;
    }
}

// Over a socket that speaks https only, as CTlsSocket does: a redirect to any other scheme would
// carry the request in clear, so it ends the request false with the 30x kept and nothing more
// sent; https locations are followed as any others.
TEST(HttpClientRedirect, AnHttpsRequestIsNeverRedirectedOutOfTls) {
    const struct {
        const char* location;
        bool followed;
        std::uint16_t port;  // of the connection the repeated request goes over
    } cases[] = {{"http://h/plain", false, 0},
                 {"HTTP://h:443/plain", false, 0},
                 {"ftp://h/f", false, 0},
                 {"https://h/secure", true, 443},
                 {"/relative", true, 443},
                 {"https://other:8443/x", true, 8443},
                 {"HTTPS://h/upper-case", true, 443}};
    for (const auto& c : cases) {
        CSocketScript script;
        script.SpeakOnly(SchemeHttps);
        script.AddConnection().Reply(Redirect(302, c.location)).Reply(kEmptyOk);
        script.AddConnection().Reply(kEmptyOk);
        CTestClient client(script);
        EXPECT_EQ(client.RequestUrl(u"https://h/a", nullptr), c.followed) << c.location;
        EXPECT_EQ(client.StatusCode(), c.followed ? 200 : 302) << c.location;
        const std::string& first = script.Connection(0).Sent();
        if (!c.followed) {
            EXPECT_EQ(first, RequestHead("GET", "/a")) << c.location;
            EXPECT_EQ(client.Body(), "moved") << c.location;
            EXPECT_EQ(script.ConnectionsOpened(), 1u) << c.location;
        } else {
            EXPECT_EQ(script.Connects().back().second, c.port) << c.location;
        }
    }
}

}  // namespace
