// CDiscoveringProxyChooser: the proxy chooser of Windows's settings, one decision per run and
// scheme, host and port, read through a CSystemProxySource. For a URL, in this order:
// 1. The user's auto-config: with a PAC URL set, its script is asked first; with "detect
//    settings automatically" on, a script found by auto-detection next. A script's answer that
//    names a usable proxy list gives the route in the list's order (ReadAutoProxyList), DIRECT
//    gives the direct route. Should a script's server ask for a logon, the ask is repeated
//    once allowing the user's credentials.
// 2. When no script answered usably (no auto-config set, the download or the script failed,
//    the list named nothing usable, or the answer came too late): the user's manual proxy
//    string with its bypass list (CManualProxySetting), when a proxy string is set. Its answer
//    is final, direct ones included (a host it bypasses, a scheme it names no proxy for).
// 3. Else the machine's named proxy with its bypass list; else the direct route.
// A script source that failed once (its download failed, the script failed, no script was
// found) is not asked again in the run: every ask of a missing script costs seconds.
// Scripts are asked on the discovery thread (CDiscoveryWorker), all of the run's asks together
// within discoveryTime: the run waits for each with the time it has left, and once that is
// spent no script is asked or waited for again; an answer that comes later is dropped. The
// settings themselves are read on the run's thread, once per run.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

#include "net/proxy/discovery_worker.h"
#include "net/proxy/proxy_chooser.h"
#include "net/proxy/system_proxy_source.h"

class CDiscoveringProxyChooser : public CProxyChooser {
public:
    CDiscoveringProxyChooser(std::shared_ptr<CSystemProxySource> source,
                             std::chrono::milliseconds discoveryTime);

    CProxyRoute RouteFor(const CParsedUrl& url) override;

private:
    using Key = std::tuple<int, WideString, std::uint16_t>;

    CProxyRoute Decide(const CParsedUrl& url);
    std::optional<CProxyRoute> ScriptRoute(const CParsedUrl& url);
    CProxyRoute SettingRoute(const CParsedUrl& url);
    void ReadUserSetting();

    std::shared_ptr<CSystemProxySource> source_;
    std::chrono::milliseconds timeLeft_;
    bool userRead_ = false;
    std::optional<CUserProxySetting> user_;
    bool machineRead_ = false;
    std::optional<CMachineProxySetting> machine_;
    bool pacUrlFailed_ = false;
    bool autoDetectFailed_ = false;
    CDiscoveryWorker worker_;
    std::map<Key, CProxyRoute> routes_;
};
