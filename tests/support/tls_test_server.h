// Peers for the tests of the https connection: CTlsTestCertificates holds the certificates of
// a run in a temporary folder (server/make-test-certificates.sh), and CTlsTestServer runs
// tests/support/tls_test_server.py with one of them on a loopback address. Both end with their
// object: the folder is removed, the server killed. TlsLoopbackTest is the fixture of such
// tests: one set of certificates per test program.
// On POSIX the test program makes both itself. Under Wine it can start no host program, so
// tests/net/tls_windows.sh makes the certificates and runs tests/support/tls_test_launcher.py,
// naming them in OMBRIX_TLS_AUTHORITY (ca.pem as a Windows path) and OMBRIX_TLS_LAUNCHER (its
// port); the program asks the launcher for each server and keeps the request's connection
// open for as long as the server is to live. Without them the tests skip.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/tls/tls_engine.h"

#include "tests/support/temp_folder.h"

class CTlsTestCertificates {
public:
    // Makes them (on Windows: copies the host's authority); Ready() tells whether that worked.
    CTlsTestCertificates();
    bool Ready() const { return ready_; }
    // Empty when this platform can make and serve them; otherwise why it cannot.
    static std::string Unavailable();
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
    CTlsTestServer();
    ~CTlsTestServer();
    CTlsTestServer(const CTlsTestServer&) = delete;
    CTlsTestServer& operator=(const CTlsTestServer&) = delete;

    // Starts tls_test_server.py <mode> <host> <name>.pem <name>.key [extra...] and waits up to
    // 10 s for the port it listens on. False when it does not come up.
    bool Start(const CTlsTestCertificates& certificates, const std::string& mode,
               const std::string& host, const std::string& name,
               const std::vector<std::string>& extra = {});
    std::uint16_t Port() const { return port_; }

private:
    struct CRunning;  // what keeps the server alive, per platform
    std::unique_ptr<CRunning> running_;
    std::uint16_t port_ = 0;
};

class TlsLoopbackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certificates_ = std::make_unique<CTlsTestCertificates>(); }
    static void TearDownTestSuite() { certificates_.reset(); }
    void SetUp() override {
        const std::string unavailable = CTlsTestCertificates::Unavailable();
        if (!unavailable.empty()) {
            GTEST_SKIP() << unavailable;
        }
        ASSERT_TRUE(certificates_->Ready()) << "the test authority must be there";
    }

    static const CTlsTestCertificates& Certificates() { return *certificates_; }
    // Trusts the test authority only.
    static CTlsTrust Trust() { return CTlsTrust::Pinned(certificates_->AuthorityPem()); }
    // Starts a server; the test fails when it does not come up.
    static void Serve(CTlsTestServer& server, const std::string& mode, const std::string& host,
                      const std::string& certificate, const std::vector<std::string>& extra = {}) {
        ASSERT_TRUE(server.Start(*certificates_, mode, host, certificate, extra))
            << "python3 must serve " << mode;
    }

private:
    static std::unique_ptr<CTlsTestCertificates> certificates_;
};
