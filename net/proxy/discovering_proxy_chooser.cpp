// CDiscoveringProxyChooser: the decision order, the cache per scheme, host and port, and the
// run's share of time for auto-config scripts.
#include "net/proxy/discovering_proxy_chooser.h"

#include <algorithm>
#include <utility>

#include "net/proxy/auto_proxy_list.h"
#include "net/proxy/manual_proxy_setting.h"

namespace {

using Clock = std::chrono::steady_clock;

// One ask of a script, repeated once with logon allowed when its server asked for one.
// failed is set when the script gave no answer at all.
std::optional<CProxyRoute> AskScript(CSystemProxySource& source, CAutoProxyRequest request,
                                     bool& failed) {
    CAutoProxyAnswer answer = source.AutoProxy(request);
    if (answer.outcome == AutoProxyOutcome::kLogonNeeded) {
        request.autoLogon = true;
        answer = source.AutoProxy(request);
    }
    switch (answer.outcome) {
        case AutoProxyOutcome::kDirect:
            return CProxyRoute();
        case AutoProxyOutcome::kProxies:
            return ReadAutoProxyList(answer.list);
        default:
            failed = true;
            return std::nullopt;
    }
}

// The job for the discovery thread: it owns everything it uses.
CDiscoveryWorker::Job ScriptJob(std::shared_ptr<CSystemProxySource> source, WideString url,
                                std::optional<WideString> pacUrl, bool autoDetect) {
    return [source = std::move(source), url = std::move(url), pacUrl = std::move(pacUrl),
            autoDetect] {
        CDiscoveryResult result;
        if (pacUrl) {
            result.route = AskScript(*source, {url, *pacUrl, false}, result.pacUrlFailed);
        }
        if (!result.route && autoDetect) {
            result.route = AskScript(*source, {url, WideString(), false}, result.autoDetectFailed);
        }
        return result;
    };
}

WideString UrlText(const CParsedUrl& url) {
    WideString text(url.ComposedLength() + 1, u'\0');
    std::uint32_t capacity = static_cast<std::uint32_t>(text.size());
    if (!url.Compose(&text[0], &capacity)) {
        return WideString();
    }
    text.resize(capacity);
    return text;
}

}  // namespace

CDiscoveringProxyChooser::CDiscoveringProxyChooser(std::shared_ptr<CSystemProxySource> source,
                                                   std::chrono::milliseconds discoveryTime)
    : source_(std::move(source)), timeLeft_(discoveryTime) {}

CProxyRoute CDiscoveringProxyChooser::RouteFor(const CParsedUrl& url) {
    WideString host(url.Host(), url.HostLength());
    for (char16_t& unit : host) {
        unit = AsciiLower(unit);
    }
    Key key(url.SchemeKind(), std::move(host), url.Port());
    const auto known = routes_.find(key);
    if (known != routes_.end()) {
        return known->second;
    }
    const CProxyRoute route = Decide(url);
    routes_.emplace(std::move(key), route);
    return route;
}

CProxyRoute CDiscoveringProxyChooser::Decide(const CParsedUrl& url) {
    ReadUserSetting();
    std::optional<CProxyRoute> route = ScriptRoute(url);
    return route ? *route : SettingRoute(url);
}

void CDiscoveringProxyChooser::ReadUserSetting() {
    if (userRead_) {
        return;
    }
    userRead_ = true;
    CUserProxySetting setting;
    if (source_->UserSetting(setting)) {
        user_ = std::move(setting);
    }
}

std::optional<CProxyRoute> CDiscoveringProxyChooser::ScriptRoute(const CParsedUrl& url) {
    if (!user_ || timeLeft_.count() <= 0) {
        return std::nullopt;
    }
    const bool usePacUrl = !user_->pacUrl.empty() && !pacUrlFailed_;
    const bool useAutoDetect = user_->autoDetect && !autoDetectFailed_;
    if (!usePacUrl && !useAutoDetect) {
        return std::nullopt;
    }
    const std::optional<WideString> pacUrl =
        usePacUrl ? std::optional<WideString>(user_->pacUrl) : std::nullopt;
    const Clock::time_point start = Clock::now();
    std::optional<CDiscoveryResult> result =
        worker_.Run(ScriptJob(source_, UrlText(url), pacUrl, useAutoDetect), timeLeft_);
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    timeLeft_ = result ? std::max(timeLeft_ - waited, std::chrono::milliseconds(0))
                       : std::chrono::milliseconds(0);
    if (!result) {
        return std::nullopt;
    }
    pacUrlFailed_ = pacUrlFailed_ || result->pacUrlFailed;
    autoDetectFailed_ = autoDetectFailed_ || result->autoDetectFailed;
    return std::move(result->route);
}

CProxyRoute CDiscoveringProxyChooser::SettingRoute(const CParsedUrl& url) {
    if (user_ && !user_->proxy.empty()) {
        return CManualProxySetting(user_->proxy, user_->bypass).RouteFor(url);
    }
    if (!machineRead_) {
        machineRead_ = true;
        CMachineProxySetting setting;
        if (source_->MachineSetting(setting) && setting.named) {
            machine_ = std::move(setting);
        }
    }
    if (machine_) {
        return CManualProxySetting(machine_->proxy, machine_->bypass).RouteFor(url);
    }
    return CProxyRoute();
}
