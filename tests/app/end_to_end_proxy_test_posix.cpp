// The log sender programs end to end through real proxies named in the environment: squid
// (Basic logon, http as absolute-form requests and https through CONNECT) and tinyproxy (an
// HTTP/1.0 proxy whose 407 to a CONNECT has no length and closes). The logs arrive through the
// proxy, whose log shows the requests; a wrong password delivers nothing, and the logs are
// gone all the same, each offered once; a host no_proxy names goes direct. One test: the
// programs (built for these tests alone) post to fixed addresses, so the rows must not run side
// by side.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/reference_receiver.h"
#include "tests/app/tls_front.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_reader.h"

namespace {

using namespace std::chrono_literals;

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The proxy of tests/app/test_proxy.sh, with its port and the folder of its log.
class CTestProxy {
public:
    bool Start(const std::string& kind, const std::string& folder) {
        folder_ = folder;
        std::string banner;
        if (!process_.Start({"/bin/bash", LOGSENDER_SOURCE_DIR "/tests/app/test_proxy.sh", kind,
                             folder, "user", "secret"},
                            {}, true) ||
            !process_.ReadLine(banner, 20s) || banner.rfind("proxy ", 0) != 0) {
            return false;
        }
        address_ = banner.substr(banner.rfind(' ') + 1);
        return true;
    }
    const std::string& Address() const { return address_; }
    std::string Log() const { return ReadText(folder_ + "/access.log"); }

private:
    CChildProcess process_;
    std::string folder_;
    std::string address_;
};

struct ProxyCase {
    const char* name;
    const char* proxy;  // squid or tinyproxy
    bool https;
    const char* password;
    bool bypass;  // no_proxy names the upload host
    bool arrives;
    const char* logged;  // what the proxy's log shows; empty: nothing for the host; null: unread
};

TEST(EndToEndProxy, LogsGoThroughTheProxyTheEnvironmentNames) {
    std::istringstream receivers(
        ReadText(LOGSENDER_BINARY_DIR "/app/proxy_loopback_receivers.txt"));
    std::string plainAddress;
    std::string tlsAddress;
    receivers >> plainAddress >> tlsAddress;
    const std::string pki = LOGSENDER_BINARY_DIR "/app/tls_test_pki/";
    const ProxyCase cases[] = {
        {"squid, http", "squid", false, "secret", false, true, "POST http://"},
        {"squid, https", "squid", true, "secret", false, true, "CONNECT "},
        {"squid, a wrong password", "squid", true, "wrong", false, false, "TCP_DENIED/407"},
        {"tinyproxy, https", "tinyproxy", true, "secret", false, true, "CONNECT"},
        {"tinyproxy, a wrong password", "tinyproxy", true, "wrong", false, false, nullptr},
        {"no_proxy names the host", "squid", false, "secret", true, true, ""},
    };
    for (const ProxyCase& c : cases) {
        SCOPED_TRACE(c.name);
        CTempFolder work;
        // The proxies drop to a user of their own, who must reach their folder.
        std::filesystem::permissions(work.Path(), std::filesystem::perms::all);
        CTestProxy proxy;
        ASSERT_TRUE(proxy.Start(c.proxy, (work.Path() / "proxy").string()))
            << c.proxy << " must start";
        CTempFolder uploads;
        CReferenceReceiver receiver;
        CTlsFront front;
        const std::string host = (c.https ? tlsAddress : plainAddress);
        ASSERT_TRUE(c.https ? front.Start(uploads.Path().string(), tlsAddress, pki + "server.pem",
                                          pki + "server.key")
                            : receiver.Start(uploads.Path().string(), plainAddress));
        CTempFolder data;
        data.Write("Ombrix/Log/OmbrixLog.4321.Runner.log", std::string(c.name) + " runner\n");
        data.Write("Ombrix/Log/OmbrixLog.4321.Streamer.log", "streamer\n");
        const std::string proxyUrl =
            std::string("http://user:") + c.password + "@" + proxy.Address();
        std::vector<std::string> env = {"XDG_DATA_HOME=" + data.Path().string(),
                                        "http_proxy=" + proxyUrl, "https_proxy=" + proxyUrl,
                                        "no_proxy=" + std::string(c.bypass ? "127.0.0.0/8" : "")};
        CChildProcess program;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(program.Start(
            {LOGSENDER_BINARY_DIR "/app/" +
                 std::string(c.https ? "logsender_proxy_tls_loopback" : "logsender_proxy_loopback"),
             "sendlogs", "S1", "4321"},
            env, true));
        int status = -1;
        EXPECT_TRUE(program.WaitForExit(60s, status));
        EXPECT_EQ(status, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
        EXPECT_EQ(VisibleNamesIn(data.Path() / "Ombrix" / "Log"), std::vector<std::string>{})
            << "every log is offered once and deleted";
        const std::vector<std::string> stored = VisibleNamesIn(uploads.Path());
        EXPECT_EQ(stored.size(), c.arrives ? 2u : 0u);
        if (c.arrives && stored.size() == 2) {
            std::vector<CZipEntry> entries;
            ASSERT_TRUE(ReadZipEntries((uploads.Path() / stored[0]).string(), entries));
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(entries[0].bytes, std::string(c.name) + " runner\n");
        }
        const std::string log = proxy.Log();
        if (c.logged == nullptr) {
            continue;
        }
        if (c.logged[0] == 0) {
            EXPECT_EQ(log.find(host), std::string::npos) << log;
        } else {
            EXPECT_NE(log.find(c.logged), std::string::npos) << log;
            EXPECT_NE(log.find(host), std::string::npos) << log;
        }
    }
}

}  // namespace
