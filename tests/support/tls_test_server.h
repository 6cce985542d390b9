// Peers for the tests of the https connection on POSIX: CTlsTestCertificates makes the
// certificates of a run into a temporary folder (server/make-test-certificates.sh), and
// CTlsTestServer runs tests/support/tls_test_server.py with one of them on a loopback address.
// Both end with their object: the folder is removed, the server killed. TlsLoopbackTest is
// the fixture of such tests: one set of certificates per test program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/tls_engine.h"

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

class CTlsTestCertificates {
public:
    // Makes them; Ready() tells whether the script succeeded.
    CTlsTestCertificates();
    bool Ready() const { return ready_; }
    // Path of a file the script makes ("ca.pem", "server.key", ...).
    std::string File(const std::string& name) const { return (folder_.Path() / name).string(); }
    // The text of ca.pem, as a client's trust.
    std::string AuthorityPem() const { return folder_.Read("ca.pem"); }

private:
    CTempFolder folder_;
    bool ready_ = false;
};

class CTlsTestServer {
public:
    // Starts tls_test_server.py <mode> <host> <name>.pem <name>.key [extra...] and waits up to
    // 10 s for the port it listens on. False when it does not come up.
    bool Start(const CTlsTestCertificates& certificates, const std::string& mode,
               const std::string& host, const std::string& name,
               const std::vector<std::string>& extra = {});
    std::uint16_t Port() const { return port_; }

private:
    CChildProcess process_;
    std::uint16_t port_ = 0;
};

class TlsLoopbackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certificates_ = std::make_unique<CTlsTestCertificates>(); }
    static void TearDownTestSuite() { certificates_.reset(); }
    void SetUp() override { ASSERT_TRUE(certificates_->Ready()) << "openssl must make them"; }

    static const CTlsTestCertificates& Certificates() { return *certificates_; }
    // Trusts the test authority only.
    static CTlsTrust Trust() { return CTlsTrust{certificates_->AuthorityPem()}; }
    // Starts a server; the test fails when it does not come up.
    static void Serve(CTlsTestServer& server, const std::string& mode, const std::string& host,
                      const std::string& certificate, const std::vector<std::string>& extra = {}) {
        ASSERT_TRUE(server.Start(*certificates_, mode, host, certificate, extra))
            << "python3 must serve " << mode;
    }

private:
    static std::unique_ptr<CTlsTestCertificates> certificates_;
};
