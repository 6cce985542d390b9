// CHttpClientT<CTlsSocket> against TLS servers on loopback (tests/support/tls_test_server.py)
// with certificates made for the test: a large upload arrives whole, a body read to the close
// ends there whether or not the server sent close_notify, a redirect never leaves TLS, and an
// http address is refused by the TLS client. Under Wine the servers run on the host
// (tests/net/tls_windows.sh); every TLS server is reached by name, which both platforms match.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "http/http_client.h"
#include "net/tls/tls_socket.h"
#include "platform/text_conversion.h"
#include "tests/support/loopback_server.h"
#include "tests/support/sha256_hex.h"
#include "tests/support/tls_test_server.h"

namespace {

using HttpClientTls = TlsLoopbackTest;

class CTlsClient : public CHttpClientT<CTlsSocket> {
public:
    explicit CTlsClient(CTlsTrust trust) : CHttpClientT<::CTlsSocket>(std::move(trust)) {}
    std::string Body() const {
        const auto* data = reinterpret_cast<const char*>(ResponseData());
        return std::string(data + HeadOffset() + HeadLength(), BodyLength());
    }
};

std::u16string Url(const std::string& host, std::uint16_t port, const std::string& path = "/") {
    return NarrowToWide("https://" + host + ":" + std::to_string(port) + path);
}

TEST_F(HttpClientTls, A64MiBPostThroughTheClientArrivesWhole) {
    CTlsTestServer server;
    Serve(server, "http", "localhost", "server");
    std::string body(64 << 20, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>((i * 2654435761u) >> 24);
    }
    CTlsClient client(Trust());
    CRequestSettings settings;
    settings.AssignMethod(u"POST");
    settings.AssignPostData(reinterpret_cast<const std::uint8_t*>(body.data()),
                            static_cast<std::uint32_t>(body.size()), u"application/octet-stream");
    EXPECT_TRUE(client.RequestUrl(Url("localhost", server.Port(), "/upload").c_str(), &settings));
    EXPECT_EQ(client.StatusCode(), 200);
    EXPECT_EQ(client.Body(), std::to_string(body.size()) + " " + Sha256Hex(body));
}

TEST_F(HttpClientTls, ABodyReadToTheCloseEndsThereWithOrWithoutCloseNotify) {
    const char* modes[] = {"to-close", "tcp-close"};
    for (const char* mode : modes) {
        CTlsTestServer server;
        Serve(server, mode, "localhost", "server");
        CTlsClient client(Trust());
        EXPECT_TRUE(client.RequestUrl(Url("localhost", server.Port()).c_str(), nullptr)) << mode;
        EXPECT_EQ(client.Body(), "abc") << mode;
    }
}

TEST_F(HttpClientTls, ARedirectNeverLeavesTls) {
    CLoopbackServer plain([](CLoopbackConnection& connection) { connection.Close(); });
    ASSERT_TRUE(plain.IsListening());
    const std::string location =
        "http://127.0.0.1:" + std::to_string(plain.Port()) + "/scripts/uploadUserLog.php";
    CTlsTestServer server;
    Serve(server, "redirect", "localhost", "server", {"--location", location});
    CTlsClient client(Trust());
    CRequestSettings settings;
    const std::string body = "log bytes";
    settings.AssignMethod(u"POST");
    settings.AssignPostData(reinterpret_cast<const std::uint8_t*>(body.data()),
                            static_cast<std::uint32_t>(body.size()), u"text/plain");
    EXPECT_FALSE(client.RequestUrl(Url("localhost", server.Port()).c_str(), &settings));
    EXPECT_EQ(client.StatusCode(), 302);
    EXPECT_EQ(client.Body(), "moved");
    EXPECT_EQ(plain.AcceptedCount(), 0) << "nothing went to the http location";
}

TEST_F(HttpClientTls, AnHttpAddressIsRefusedBeforeAnythingIsSent) {
    CLoopbackServer plain([](CLoopbackConnection& connection) { connection.Close(); });
    ASSERT_TRUE(plain.IsListening());
    CTlsClient client(Trust());
    const std::u16string url =
        NarrowToWide("http://127.0.0.1:" + std::to_string(plain.Port()) + "/");
    EXPECT_FALSE(client.RequestUrl(url.c_str(), nullptr));
    EXPECT_EQ(plain.AcceptedCount(), 0);
}

}  // namespace
