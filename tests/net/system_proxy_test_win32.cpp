// SystemProxyChooser against the real WinHTTP (as Wine has it): the user's setting is written
// for each case into DefaultConnectionSettings, the binary value WinHTTP reads, and put back
// afterwards; a PAC file is served by a loopback server of the test. Wine hands back only the
// first proxy of a script's list (Windows hands back the list), so a script's route is checked
// for its first try and for keeping the list's order. Auto-detection is left off: it would ask
// the network's DHCP and DNS.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/proxy/proxy_chooser.h"
#include "tests/net/proxy_route_text.h"
#include "tests/support/loopback_server.h"

namespace {

constexpr wchar_t kConnections[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr wchar_t kValue[] = L"DefaultConnectionSettings";

enum : std::uint32_t { kFlagDirect = 1, kFlagProxy = 2, kFlagPacUrl = 4 };

void PutDword(std::vector<BYTE>& blob, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        blob.push_back(static_cast<BYTE>(value >> shift));
    }
}

void PutText(std::vector<BYTE>& blob, const std::string& text) {
    PutDword(blob, static_cast<std::uint32_t>(text.size()));
    blob.insert(blob.end(), text.begin(), text.end());
}

// The value's layout: 0x46, a counter, the flags, then proxy, bypass and PAC URL as
// length-prefixed 8-bit texts, then 32 zero bytes.
std::vector<BYTE> ConnectionSettings(std::uint32_t flags, const std::string& proxy,
                                     const std::string& bypass, const std::string& pacUrl) {
    std::vector<BYTE> blob;
    PutDword(blob, 0x46);
    PutDword(blob, 1);
    PutDword(blob, flags);
    PutText(blob, proxy);
    PutText(blob, bypass);
    PutText(blob, pacUrl);
    blob.insert(blob.end(), 32, 0);
    return blob;
}

// Writes the user's connection setting for its lifetime, and puts back the value that was
// there (or removes it) afterwards.
class CScopedConnectionSettings {
public:
    explicit CScopedConnectionSettings(const std::vector<BYTE>& blob) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        DWORD size = 0;
        if (RegQueryValueExW(key_, kValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            std::vector<BYTE> old(size);
            if (RegQueryValueExW(key_, kValue, nullptr, nullptr, old.data(), &size) ==
                ERROR_SUCCESS) {
                old.resize(size);
                old_ = std::move(old);
            }
        }
        written_ = RegSetValueExW(key_, kValue, 0, REG_BINARY, blob.data(),
                                  static_cast<DWORD>(blob.size())) == ERROR_SUCCESS;
    }
    ~CScopedConnectionSettings() {
        if (key_ == nullptr) {
            return;
        }
        if (old_) {
            RegSetValueExW(key_, kValue, 0, REG_BINARY, old_->data(),
                           static_cast<DWORD>(old_->size()));
        } else {
            RegDeleteValueW(key_, kValue);
        }
        RegCloseKey(key_);
    }
    CScopedConnectionSettings(const CScopedConnectionSettings&) = delete;
    CScopedConnectionSettings& operator=(const CScopedConnectionSettings&) = delete;

    bool Written() const { return written_; }

private:
    HKEY key_ = nullptr;
    std::optional<std::vector<BYTE>> old_;
    bool written_ = false;
};

std::u16string RouteOf(CProxyChooser& chooser, const char16_t* text) {
    CParsedUrl url;
    EXPECT_TRUE(url.Parse(text)) << "the test's URL must parse";
    return RouteText(chooser.RouteFor(url));
}

std::u16string Wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

TEST(SystemProxyWinHttp, ManualProxyAndBypassList) {
    const CScopedConnectionSettings setting(ConnectionSettings(
        kFlagDirect | kFlagProxy, "http=p.test:3128;https=s.test:3129", "*.corp.test;<local>", ""));
    ASSERT_TRUE(setting.Written());
    const struct {
        const char* name;
        const char16_t* url;
        std::u16string route;
    } rows[] = {
        {"http proxy", u"http://upload.test/up.php", u"p.test:3128"},
        {"https proxy", u"https://upload.test/up.php", u"s.test:3129"},
        {"bypassed by pattern", u"http://files.corp.test/", u""},
        {"bypassed as a local name", u"http://intranet/", u""},
        {"loopback always bypassed", u"http://127.0.0.1:8080/", u""},
    };
    const std::unique_ptr<CProxyChooser> chooser = SystemProxyChooser();
    for (const auto& row : rows) {
        EXPECT_EQ(RouteOf(*chooser, row.url), row.route) << row.name;
    }
}

// Serves one PAC file to every connection.
class CPacServer {
public:
    explicit CPacServer(const std::string& script)
        : server_([script](CLoopbackConnection& connection) {
              std::string head;
              if (connection.ReadUntil("\r\n\r\n", head)) {
                  connection.Write(
                      "HTTP/1.1 200 OK\r\nContent-Type: application/x-ns-proxy-autoconfig\r\n"
                      "Connection: close\r\nContent-Length: " +
                      std::to_string(script.size()) + "\r\n\r\n" + script);
              }
              connection.Close();
          }) {}

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(server_.Port()) + "/p.pac"; }
    int Served() const { return server_.AcceptedCount(); }

private:
    CLoopbackServer server_;
};

TEST(SystemProxyWinHttp, PacUrlScriptDecidesBeforeTheManualProxy) {
    const std::string first = "127.0.0.1:13128", second = "127.0.0.1:13129";
    const CPacServer pac("function FindProxyForURL(url, host) {\n"
                         "  if (host == \"upload.test\") return \"PROXY " + first + "; PROXY " +
                         second + "; DIRECT\";\n  return \"DIRECT\";\n}\n");
    const CScopedConnectionSettings setting(
        ConnectionSettings(kFlagDirect | kFlagProxy | kFlagPacUrl, "m.test:8080", "", pac.Url()));
    ASSERT_TRUE(setting.Written());
    const std::unique_ptr<CProxyChooser> chooser = SystemProxyChooser();

    const std::u16string route = RouteOf(*chooser, u"http://upload.test/up.php");
    const std::u16string wholeList = Wide(first + " " + second + " DIRECT");
    EXPECT_TRUE(route == Wide(first) || route == wholeList)
        << "Wine names the first proxy, Windows the list in order";
    EXPECT_EQ(RouteOf(*chooser, u"http://other.test/"), u"") << "the script's DIRECT wins";
    EXPECT_GE(pac.Served(), 1);
}

TEST(SystemProxyWinHttp, PacUrlThatCannotBeFetchedFallsToTheManualProxy) {
    std::string pacUrl;
    {
        const CPacServer gone("");
        pacUrl = gone.Url();  // nothing listens there once the server has ended
    }
    const CScopedConnectionSettings setting(
        ConnectionSettings(kFlagDirect | kFlagProxy | kFlagPacUrl, "m.test:8080", "", pacUrl));
    ASSERT_TRUE(setting.Written());
    const std::unique_ptr<CProxyChooser> chooser = SystemProxyChooser();
    EXPECT_EQ(RouteOf(*chooser, u"http://upload.test/up.php"), u"m.test:8080");
    EXPECT_EQ(RouteOf(*chooser, u"https://upload.test/up.php"), u"m.test:8080");
}

}  // namespace
