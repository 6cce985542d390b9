// CSystemProxySource: the system calls behind the discovery of Windows's proxy settings, as the
// discovering chooser sees them: the user's setting, the machine's setting, and one ask of a
// proxy auto-config script (a configured PAC URL, or one auto-detection found). On Windows they
// are WinHTTP's; tests put a fake in their place to drive the decision order and the deadline.
// AutoProxy is called on the discovery thread and may block for as long as the system lets it;
// the source is shared with that thread, so it must stay usable while the thread still runs.
#pragma once

#include "platform/wide_text.h"

// The user's setting (WinHTTP's view of the Internet settings of the logged-on user).
struct CUserProxySetting {
    bool autoDetect = false;  // "Automatically detect settings"
    WideString pacUrl;        // "Use automatic configuration script"; empty when not set
    WideString proxy;         // the manual proxy string; empty when no manual proxy is set
    WideString bypass;        // the manual setting's bypass list
};

// The machine's setting (WinHTTP's default configuration); named false when it names no proxy.
struct CMachineProxySetting {
    bool named = false;
    WideString proxy;
    WideString bypass;
};

// One ask of a proxy auto-config script for a URL.
struct CAutoProxyRequest {
    WideString url;
    WideString pacUrl;  // the script's address; empty to auto-detect it (DHCP, then DNS)
    bool autoLogon = false;  // whether the script's download may log on with the user's credentials
};

enum class AutoProxyOutcome {
    kProxies,      // the script named proxies, in list
    kDirect,       // the script said the URL goes direct
    kFailed,       // no script, a script that failed, or no answer
    kLogonNeeded,  // the script's server asked for a logon the request did not allow
};

struct CAutoProxyAnswer {
    AutoProxyOutcome outcome = AutoProxyOutcome::kFailed;
    WideString list;  // with kProxies: the proxies in order, separated by ";" or blanks
};

class CSystemProxySource {
public:
    virtual ~CSystemProxySource() = default;
    // False when the setting cannot be read.
    virtual bool UserSetting(CUserProxySetting& setting) = 0;
    virtual bool MachineSetting(CMachineProxySetting& setting) = 0;
    virtual CAutoProxyAnswer AutoProxy(const CAutoProxyRequest& request) = 0;
};
