// The HTTP client against servers nobody here wrote, started by the tests on 127.0.0.1:
// Python's http.server (a counted body, a body that ends with the connection, a POST
// echoed back) and Node's http module (chunked bodies on a kept-alive connection, trailers).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "tests/http/loopback_fixture.h"
#include "tests/support/child_process.h"

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kBodySize = 100000;

// Starts a server script and reads the port it prints; 0 when it does not come up.
std::uint16_t StartServer(CChildProcess& server) {
    std::string line;
    if (!server.Started() || !server.ReadLine(line, 20s)) {
        return 0;
    }
    return static_cast<std::uint16_t>(std::strtoul(line.c_str(), nullptr, 10));
}

std::string Script(const char* name) {
    return std::string(LOGSENDER_SOURCE_DIR) + "/tests/http/servers/" + name;
}

TEST(HttpClientReferenceServer, PythonCountedAndToCloseBodies) {
    CChildProcess python({"python3", Script("python_http_server.py"), std::to_string(kBodySize)});
    const std::uint16_t port = StartServer(python);
    ASSERT_NE(port, 0) << "python3 did not start the reference server";
    const std::string expected = PatternBody(kBodySize);
    for (const char* path : {"/counted", "/to-close"}) {
        CLoopbackClient client;
        ASSERT_TRUE(client.RequestUrl(LoopbackUrl(port, path).c_str(), nullptr)) << path;
        EXPECT_EQ(client.StatusCode(), 200) << path;
        EXPECT_EQ(client.BodyLength(), kBodySize) << path;
        EXPECT_TRUE(BodyOf(client) == expected) << path;
    }
}

TEST(HttpClientReferenceServer, PythonEchoesAPostInBlocks) {
    CChildProcess python({"python3", Script("python_http_server.py"), "10"});
    const std::uint16_t port = StartServer(python);
    ASSERT_NE(port, 0) << "python3 did not start the reference server";
    const std::string body = PatternBody(50000);
    CRequestSettings settings;
    settings.method = u"POST";
    settings.AssignPostData(reinterpret_cast<const std::uint8_t*>(body.data()), 50000,
                            u"application/octet-stream");
    CLoopbackClient client;
    ASSERT_TRUE(client.RequestUrl(LoopbackUrl(port, "/echo").c_str(), &settings));
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_TRUE(BodyOf(client) == body);
}

TEST(HttpClientReferenceServer, NodeChunkedBodiesOnAKeptConnection) {
    CChildProcess node({"node", Script("node_http_server.js"), std::to_string(kBodySize)});
    const std::uint16_t port = StartServer(node);
    ASSERT_NE(port, 0) << "node did not start the reference server";
    const std::string expected = PatternBody(kBodySize);
    CLoopbackClient client;
    for (const char* path : {"/", "/trailers", "/"}) {
        ASSERT_TRUE(client.RequestUrl(LoopbackUrl(port, path).c_str(), nullptr)) << path;
        EXPECT_EQ(client.StatusCode(), 200) << path;
        EXPECT_EQ(HeaderOf(client, u"Transfer-Encoding"), "chunked") << path;
        EXPECT_EQ(client.BodyLength(), kBodySize) << path;
        EXPECT_TRUE(BodyOf(client) == expected) << path;
        EXPECT_EQ(HeaderOf(client, u"X-Checked"),
                  std::string(path) == "/trailers" ? "yes" : "<absent>")
            << path;
    }
}

}  // namespace
