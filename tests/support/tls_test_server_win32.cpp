// CTlsTestCertificates and CTlsTestServer under Wine: the certificates and the servers are the
// host's (tests/net/tls_windows.sh). The authority is copied from the host's folder into the
// temporary one; each server is asked of tests/support/tls_test_launcher.py over a loopback
// connection that stays open while the server is to live. Every wait is bounded.
#include "tests/support/tls_test_server.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "net/socket/event_sync_socket.h"

std::unique_ptr<CTlsTestCertificates> TlsLoopbackTest::certificates_;

namespace {

constexpr std::uint32_t kLauncherTimeoutMs = 10000;
constexpr std::size_t kBannerLimit = 256;

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::uint16_t PortOf(const std::string& text) {
    const unsigned long port = std::strtoul(text.c_str(), nullptr, 10);
    return port > 0 && port < 65536 ? static_cast<std::uint16_t>(port) : 0;
}

bool SendAll(CEventSyncSocket& socket, const std::string& bytes) {
    std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    return socket.SendBytes(bytes.data(), size) && size == bytes.size();
}

// The launcher's answer up to its line end, at most kBannerLimit bytes.
bool ReadLine(CEventSyncSocket& socket, std::string& line) {
    while (line.find('\n') == std::string::npos && line.size() < kBannerLimit) {
        char piece[kBannerLimit];
        std::uint32_t size = sizeof(piece);
        if (!socket.ReceiveBytes(piece, size) || size == 0) {
            return false;
        }
        line.append(piece, size);
    }
    line.resize(line.find('\n') == std::string::npos ? line.size() : line.find('\n'));
    return true;
}

}  // namespace

struct CTlsTestServer::CRunning {
    CEventSyncSocket control;
};

CTlsTestServer::CTlsTestServer() : running_(std::make_unique<CRunning>()) {}

CTlsTestServer::~CTlsTestServer() = default;

std::string CTlsTestCertificates::Unavailable() {
    if (Variable("OMBRIX_TLS_AUTHORITY").empty() || Variable("OMBRIX_TLS_LAUNCHER").empty()) {
        return "no TLS servers on the host: run through tests/net/tls_windows.sh";
    }
    return {};
}

CTlsTestCertificates::CTlsTestCertificates() {
    std::ifstream authority(Variable("OMBRIX_TLS_AUTHORITY"), std::ios::binary);
    std::ostringstream text;
    text << authority.rdbuf();
    ready_ = !text.str().empty();
    if (ready_) {
        folder_.Write("ca.pem", text.str());
    }
}

bool CTlsTestServer::Start(const CTlsTestCertificates&, const std::string& mode,
                           const std::string& host, const std::string& name,
                           const std::vector<std::string>& extra) {
    CEventSyncSocket& control = running_->control;
    control.ExchangeTimeout(kLauncherTimeoutMs);
    const std::uint16_t launcher = PortOf(Variable("OMBRIX_TLS_LAUNCHER"));
    std::string request = mode + "\t" + host + "\t" + name;
    for (const std::string& word : extra) {
        request += "\t" + word;
    }
    std::string banner;
    const std::string prefix = "listening on ";
    if (launcher == 0 || !control.ConnectTo(u"127.0.0.1", launcher) ||
        !SendAll(control, request + "\n") || !ReadLine(control, banner) ||
        banner.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    port_ = PortOf(banner.substr(prefix.size()));
    return port_ != 0;
}
