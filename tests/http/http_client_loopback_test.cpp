// The HTTP client over the real socket against a scripted server on 127.0.0.1: the bytes
// the server reads, answers however they are written, kept and closed connections,
// redirects across servers, time-outs and refusals.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/http/client_fixture.h"
#include "tests/http/loopback_fixture.h"
#include "tests/support/scripted_http_server.h"

namespace {

using namespace std::chrono_literals;

const std::string kLocal = "127.0.0.1";

TEST(HttpClientLoopback, GetAndPostBytesAsTheServerReadsThem) {
    const std::string body = PatternBody(10000);
    CScriptedHttpServer server({{{Response(200, "", "one")}, {Response(201, "", "two")}}});
    CLoopbackClient client;
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(server.Port(), "/x?y=1").c_str(), nullptr));
    EXPECT_EQ(BodyOf(client), "one");
    CRequestSettings post;
    post.method = u"POST";
    post.AssignPostData(reinterpret_cast<const std::uint8_t*>(body.data()), 10000, u"a/b");
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(server.Port(), "/up").c_str(), &post));
    EXPECT_EQ(client.StatusCode(), 201);
    EXPECT_EQ(BodyOf(client), "two");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], RequestHead("GET", "/x?y=1", kLocal));
    EXPECT_EQ(requests[1],
              "POST /up HTTP/1.1\r\nContent-Length: 10000\r\nContent-Type: a/b\r\nHost: " + kLocal +
                  "\r\n" + kUserAgentLine + "\r\n" + body);
}

TEST(HttpClientLoopback, AnswersWrittenByteByByte) {
    const std::string chunked =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n2\r\nef\r\n0\r\n\r\n";
    CScriptedHttpServer server({{{chunked, 1}, {Response(200, "X-A: 1\r\n", "counted"), 1}}});
    CLoopbackClient client;
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(server.Port(), "/c").c_str(), nullptr));
    EXPECT_EQ(BodyOf(client), "abcdef");
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(server.Port(), "/n").c_str(), nullptr));
    EXPECT_EQ(BodyOf(client), "counted");
    EXPECT_EQ(HeaderOf(client, u"x-a"), "1");
}

TEST(HttpClientLoopback, ServerClosingMakesTheNextRequestReconnect) {
    CScriptedHttpServer server(
        {{{Response(200, "Connection: close\r\n", "a"), 0, true}}, {{Response(200, "", "b")}}});
    CLoopbackClient client;
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(server.Port(), "/1").c_str(), nullptr));
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(server.Port(), "/2").c_str(), nullptr));
    EXPECT_EQ(BodyOf(client), "b");
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_TRUE(server.WaitForConnections(1, 5s));
}

// An HTTP/1.0 redirect and a body that runs to the connection's end both leave a connection
// the server has closed: the request that follows goes over a new one.
TEST(HttpClientLoopback, ServerClosingWithoutSayingSoMakesTheNextRequestReconnect) {
    CScriptedHttpServer server(
        {{{"HTTP/1.0 302 Found\r\nLocation: /b\r\nContent-Length: 0\r\n\r\n", 0, true}},
         {{"HTTP/1.1 200 OK\r\n\r\nuntil the close", 0, true}},
         {{Response(200, "", "third")}}});
    CLoopbackClient client;
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(server.Port(), "/a").c_str(), nullptr));
    EXPECT_EQ(BodyOf(client), "until the close");
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(server.Port(), "/c").c_str(), nullptr));
    EXPECT_EQ(BodyOf(client), "third");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1], RequestHead("GET", "/b", kLocal));
    EXPECT_EQ(requests[2], RequestHead("GET", "/c", kLocal));
}

TEST(HttpClientLoopback, BodyReadUntilTheServerCloses) {
    const std::string body = PatternBody(300000);
    CScriptedHttpServer server({{{"HTTP/1.0 200 OK\r\n\r\n" + body, 0, true}}});
    CLoopbackClient client;
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(server.Port(), "/").c_str(), nullptr));
    EXPECT_EQ(client.BodyLength(), body.size());
    EXPECT_TRUE(BodyOf(client) == body);
}

TEST(HttpClientLoopback, RedirectToAnotherServer) {
    CScriptedHttpServer target({{{Response(200, "", "arrived")}}});
    const std::string location = "http://127.0.0.1:" + std::to_string(target.Port()) + "/b";
    CScriptedHttpServer origin({{{Response(302, "Location: " + location + "\r\n", "")}}});
    CLoopbackClient client;
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(origin.Port(), "/a").c_str(), nullptr));
    EXPECT_EQ(BodyOf(client), "arrived");
    EXPECT_EQ(client.CurrentUrl().Port(), target.Port());
    ASSERT_EQ(target.Requests().size(), 1u);
    EXPECT_EQ(target.Requests()[0], RequestHead("GET", "/b", kLocal));
}

TEST(HttpClientLoopback, SilentServerTimesOut) {
    CScriptedHttpServer server({{{std::string(), 0, false, true}}});
    CLoopbackClient client;
    CRequestSettings settings;
    settings.timeoutMs = 200;
    EXPECT_FALSE(client.RequestUrl(LoopbackUrl(server.Port(), "/").c_str(), &settings));
    EXPECT_EQ(client.LastReceiveResult(), kReceiveSocketFailed);
    EXPECT_EQ(client.StatusCode(), -1);
}

TEST(HttpClientLoopback, NoListenerRefuses) {
    std::uint16_t port = 0;
    {
        CScriptedHttpServer gone({});
        port = gone.Port();
    }
    CLoopbackClient client;
    EXPECT_FALSE(client.RequestUrl(LoopbackUrl(port, "/").c_str(), nullptr));
    EXPECT_EQ(client.LastReceiveResult(), kReceiveNotDone);
}

}  // namespace
