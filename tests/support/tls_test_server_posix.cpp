// CTlsTestCertificates and CTlsTestServer: the openssl command and Python, started as child
// processes with bounded waits.
#include "tests/support/tls_test_server.h"

#include <chrono>
#include <cstdlib>

#include "tests/support/child_process.h"

std::unique_ptr<CTlsTestCertificates> TlsLoopbackTest::certificates_;

struct CTlsTestServer::CRunning {
    CChildProcess process;
};

CTlsTestServer::CTlsTestServer() : running_(std::make_unique<CRunning>()) {}

CTlsTestServer::~CTlsTestServer() = default;

std::string CTlsTestCertificates::Unavailable() {
    return {};
}

CTlsTestCertificates::CTlsTestCertificates() {
    CChildProcess script;
    int status = -1;
    ready_ = script.Start({"/bin/bash", LOGSENDER_SOURCE_DIR "/server/make-test-certificates.sh",
                           folder_.Path().string()},
                          {}, true) &&
             script.WaitForExit(std::chrono::seconds(30), status) && status == 0;
}

bool CTlsTestServer::Start(const CTlsTestCertificates& certificates, const std::string& mode,
                           const std::string& host, const std::string& name,
                           const std::vector<std::string>& extra) {
    std::vector<std::string> argv{"python3",
                                  LOGSENDER_SOURCE_DIR "/tests/support/tls_test_server.py",
                                  mode,
                                  host,
                                  certificates.File(name + ".pem"),
                                  certificates.File(name + ".key")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    std::string banner;
    const std::string prefix = "listening on ";
    if (!running_->process.Start(argv, {}, true) ||
        !running_->process.ReadLine(banner, std::chrono::seconds(10)) ||
        banner.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    const unsigned long port = std::strtoul(banner.c_str() + prefix.size(), nullptr, 10);
    port_ = port > 0 && port < 65536 ? static_cast<std::uint16_t>(port) : 0;
    return port_ != 0;
}
