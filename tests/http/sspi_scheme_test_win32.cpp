// CSspiScheme with the NTLM package against the NTLM proxy stub on the host
// (tests/http/ntlm_proxy_stub.py, started by tests/http/sspi_scheme_windows.sh, which names
// its port in OMBRIX_NTLM_PROXY): the legs of one logon on one loopback connection, as a
// CONNECT that the stub lets through only when the type 3 carries a valid NTLMv2 proof for
// its one account. Explicit credentials stand in for the logged-on user's, whose NTLM Wine can
// only give on a domain member. Reached any other way, the cases skip.
#define SECURITY_WIN32
#include <windows.h>

#include <wincrypt.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "http/sspi_scheme.h"
#include "http/system_logon.h"
#include "net/socket/event_sync_socket.h"

namespace {

constexpr std::uint32_t kTimeoutMs = 10000;
constexpr std::size_t kHeadLimit = 16 * 1024;
constexpr int kMaxLegs = 4;

std::uint16_t StubPort() {
    const char* text = std::getenv("OMBRIX_NTLM_PROXY");
    const unsigned long port = text ? std::strtoul(text, nullptr, 10) : 0;
    return port > 0 && port < 65536 ? static_cast<std::uint16_t>(port) : 0;
}

std::string Base64(const std::vector<std::uint8_t>& bytes) {
    DWORD size = 0;
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    if (bytes.empty() || !CryptBinaryToStringA(bytes.data(), static_cast<DWORD>(bytes.size()),
                                               flags, nullptr, &size)) {
        return {};
    }
    std::string text(size, '\0');
    CryptBinaryToStringA(bytes.data(), static_cast<DWORD>(bytes.size()), flags, &text[0], &size);
    text.resize(size);
    return text;
}

std::vector<std::uint8_t> FromBase64(const std::string& text) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                              nullptr, &size, nullptr, nullptr)) {
        return {};
    }
    std::vector<std::uint8_t> bytes(size);
    CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64,
                         bytes.data(), &size, nullptr, nullptr);
    bytes.resize(size);
    return bytes;
}

// One connection to the stub, speaking just enough HTTP for the CONNECT legs.
class CStubConnection {
public:
    bool Open(std::uint16_t port) {
        socket_.ExchangeTimeout(kTimeoutMs);
        return socket_.ConnectTo(u"127.0.0.1", port);
    }

    // Sends a CONNECT with the token (none when empty) and reads the answer's head; the status
    // code, or 0 when no head came. The stub's answers carry no body.
    int Connect(const std::vector<std::uint8_t>& token, std::vector<std::uint8_t>& proxyToken) {
        std::string request = "CONNECT upload.test:443 HTTP/1.1\r\nHost: upload.test:443\r\n";
        if (!token.empty()) {
            request += "Proxy-Authorization: NTLM " + Base64(token) + "\r\n";
        }
        request += "\r\n";
        std::uint32_t size = static_cast<std::uint32_t>(request.size());
        std::string head;
        if (!socket_.SendBytes(request.data(), size) || size != request.size() || !ReadHead(head)) {
            return 0;
        }
        proxyToken = FromBase64(HeaderToken(head));
        return head.size() > 12 ? std::atoi(head.substr(9, 3).c_str()) : 0;
    }

private:
    bool ReadHead(std::string& head) {
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < kHeadLimit) {
            char byte = 0;
            std::uint32_t size = 1;
            if (!socket_.ReceiveBytes(&byte, size) || size == 0) {
                return false;
            }
            head += byte;
        }
        return head.size() < kHeadLimit;
    }

    // The token of a "Proxy-Authenticate: NTLM <token>" line, if any.
    static std::string HeaderToken(const std::string& head) {
        const std::string field = "Proxy-Authenticate: NTLM ";
        const std::size_t at = head.find(field);
        if (at == std::string::npos) {
            return {};
        }
        const std::size_t start = at + field.size();
        return head.substr(start, head.find("\r\n", start) - start);
    }

    CEventSyncSocket socket_;
};

// Logs on through the legs; the final status the stub gave, or 0 when a leg failed locally.
int LogOn(CSspiScheme& scheme, std::uint16_t port, int& legs) {
    CStubConnection connection;
    CProxyServer proxy;
    proxy.host = u"127.0.0.1";
    proxy.port = port;
    if (!connection.Open(port) || !scheme.BeginProxyLogon(proxy)) {
        return 0;
    }
    std::vector<std::uint8_t> proxyToken, token;
    int status = connection.Connect(token, proxyToken);  // the bare request draws the challenge
    bool complete = false;
    for (legs = 0; status == 407 && !complete && legs < kMaxLegs; ++legs) {
        if (!scheme.NextProxyToken(proxyToken, token, complete) || token.empty()) {
            return 0;
        }
        status = connection.Connect(token, proxyToken);
    }
    return status;
}

class SspiSchemeNtlm : public ::testing::Test {
protected:
    void SetUp() override {
        if (StubPort() == 0) {
            GTEST_SKIP() << "no NTLM proxy stub: run through tests/http/sspi_scheme_windows.sh";
        }
    }
};

TEST_F(SspiSchemeNtlm, TheStubVerifiesTheRightPasswordAndRefusesAWrongOne) {
    const struct {
        const char* name;
        std::u16string password;
        int status;
    } rows[] = {
        {"right password", u"Secret-1", 200},
        {"wrong password", u"secret-1", 407},
    };
    for (const auto& row : rows) {
        CSspiScheme scheme(u"NTLM", CSspiIdentity{u"CORP", u"bob", row.password});
        int legs = 0;
        EXPECT_EQ(LogOn(scheme, StubPort(), legs), row.status) << row.name;
        EXPECT_EQ(legs, 2) << row.name << ": type 1, then type 3";
    }
}

TEST_F(SspiSchemeNtlm, ANewLogonStartsAfresh) {
    CSspiScheme scheme(u"NTLM", CSspiIdentity{u"CORP", u"bob", u"Secret-1"});
    int legs = 0;
    EXPECT_EQ(LogOn(scheme, StubPort(), legs), 200);
    EXPECT_EQ(LogOn(scheme, StubPort(), legs), 200) << "the second logon on the same object";
}

TEST(SspiScheme, AMissingPackageHasNothingToLogOnWith) {
    CSspiScheme scheme(u"NoSuchPackage");
    CProxyServer proxy;
    proxy.host = u"proxy.test";
    EXPECT_FALSE(scheme.BeginProxyLogon(proxy));
    std::vector<std::uint8_t> token;
    bool complete = false;
    EXPECT_FALSE(scheme.NextProxyToken({}, token, complete)) << "no leg without a logon";
}

TEST(SspiScheme, ALegOnAGarbledChallengeFails) {
    CSspiScheme scheme(u"NTLM", CSspiIdentity{u"CORP", u"bob", u"Secret-1"});
    CProxyServer proxy;
    proxy.host = u"proxy.test";
    if (!scheme.BeginProxyLogon(proxy)) {
        GTEST_SKIP() << "no NTLM package here (Wine needs winbind's ntlm_auth)";
    }
    std::vector<std::uint8_t> token;
    bool complete = true;
    ASSERT_TRUE(scheme.NextProxyToken({}, token, complete));
    EXPECT_FALSE(complete);
    EXPECT_FALSE(token.empty());
    const std::vector<std::uint8_t> garbled(64, 0x5a);
    EXPECT_FALSE(scheme.NextProxyToken(garbled, token, complete));
}

TEST(SystemLogon, NegotiateBeforeNtlm) {
    const SchemeHandlerList schemes = SystemLogonSchemes();
    ASSERT_EQ(schemes.size(), 2u);
    EXPECT_EQ(schemes[0].first, u"Negotiate");
    EXPECT_EQ(schemes[1].first, u"NTLM");
}

}  // namespace
