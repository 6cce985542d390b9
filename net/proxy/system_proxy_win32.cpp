// SystemProxyChooser on Windows: CDiscoveringProxyChooser over WinHTTP's view of the settings.
// winhttp.dll serves discovery only, never an upload: WinHttpGetIEProxyConfigForCurrentUser
// for the user's setting, WinHttpGetDefaultProxyConfiguration for the machine's, and
// WinHttpGetProxyForUrl for an auto-config script (a PAC URL, or auto-detection by DHCP and
// DNS). WinHttpGetProxyForUrl runs on the discovery thread (CDiscoveryWorker), the program's
// only second thread: it may ignore every time-out while it downloads a script (a server that
// accepts and never answers held it for minutes), so the run waits for it only within
// kDiscoveryTime and leaves it blocking when that is spent. Each ask opens a WinHTTP session
// of its own on that thread. The environment's proxy variables are not read on Windows.
#include <windows.h>
#include <winhttp.h>

#include <memory>

#include "net/proxy/discovering_proxy_chooser.h"
#include "platform/wide_call_text.h"

namespace {

// A text WinHTTP allocated for the caller, freed with GlobalFree.
class CGlobalText {
public:
    CGlobalText() = default;
    ~CGlobalText() {
        if (text_ != nullptr) {
            GlobalFree(text_);
        }
    }
    CGlobalText(const CGlobalText&) = delete;
    CGlobalText& operator=(const CGlobalText&) = delete;

    LPWSTR* Out() noexcept { return &text_; }
    WideString Text() const { return text_ ? WideString(FromWideCall(text_)) : WideString(); }

private:
    LPWSTR text_ = nullptr;
};

// The texts of a WINHTTP_PROXY_INFO, owned.
struct CProxyInfo {
    WINHTTP_PROXY_INFO info{};
    CGlobalText proxy;
    CGlobalText bypass;

    // Takes ownership of what the call put into info.
    void Own() {
        *proxy.Out() = info.lpszProxy;
        *bypass.Out() = info.lpszProxyBypass;
    }
};

class CWinHttpHandle {
public:
    explicit CWinHttpHandle(HINTERNET handle) noexcept : handle_(handle) {}
    ~CWinHttpHandle() {
        if (handle_ != nullptr) {
            WinHttpCloseHandle(handle_);
        }
    }
    CWinHttpHandle(const CWinHttpHandle&) = delete;
    CWinHttpHandle& operator=(const CWinHttpHandle&) = delete;

    HINTERNET Get() const noexcept { return handle_; }

private:
    HINTERNET handle_;
};

class CWinHttpProxySource : public CSystemProxySource {
public:
    bool UserSetting(CUserProxySetting& setting) override {
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
        const BOOL read = WinHttpGetIEProxyConfigForCurrentUser(&config);
        CGlobalText pacUrl, proxy, bypass;
        *pacUrl.Out() = config.lpszAutoConfigUrl;
        *proxy.Out() = config.lpszProxy;
        *bypass.Out() = config.lpszProxyBypass;
        if (!read) {
            return false;
        }
        setting.autoDetect = config.fAutoDetect != FALSE;
        setting.pacUrl = pacUrl.Text();
        setting.proxy = proxy.Text();
        setting.bypass = bypass.Text();
        return true;
    }

    bool MachineSetting(CMachineProxySetting& setting) override {
        CProxyInfo proxy;
        const BOOL read = WinHttpGetDefaultProxyConfiguration(&proxy.info);
        proxy.Own();
        if (!read) {
            return false;
        }
        setting.named = proxy.info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        setting.proxy = proxy.proxy.Text();
        setting.bypass = proxy.bypass.Text();
        return true;
    }

    CAutoProxyAnswer AutoProxy(const CAutoProxyRequest& request) override {
        const CWinHttpHandle session(WinHttpOpen(L"Ombrix log sender", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                                 0));
        CAutoProxyAnswer answer;
        if (session.Get() == nullptr) {
            return answer;
        }
        WINHTTP_AUTOPROXY_OPTIONS options{};
        if (request.pacUrl.empty()) {
            options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        } else {
            options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = ToWideCall(request.pacUrl.c_str());
        }
        options.fAutoLogonIfChallenged = request.autoLogon ? TRUE : FALSE;
        CProxyInfo proxy;
        const BOOL found = WinHttpGetProxyForUrl(session.Get(), ToWideCall(request.url.c_str()),
                                                 &options, &proxy.info);
        const DWORD error = found ? ERROR_SUCCESS : GetLastError();
        proxy.Own();
        if (!found) {
            answer.outcome = error == ERROR_WINHTTP_LOGIN_FAILURE ? AutoProxyOutcome::kLogonNeeded
                                                                  : AutoProxyOutcome::kFailed;
        } else if (proxy.info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
            answer.outcome = AutoProxyOutcome::kProxies;
            answer.list = proxy.proxy.Text();
        } else {
            answer.outcome = AutoProxyOutcome::kDirect;
        }
        return answer;
    }
};

}  // namespace

std::unique_ptr<CProxyChooser> SystemProxyChooser() {
    return std::make_unique<CDiscoveringProxyChooser>(std::make_shared<CWinHttpProxySource>(),
                                                      kDiscoveryTime);
}
