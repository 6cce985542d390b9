// SystemProxyChooser on POSIX: the environment's proxy variables by curl's rules, each
// scheme and host decided once per run.
#include <map>
#include <utility>

#include "net/proxy/environment_proxy.h"
#include "net/proxy/proxy_chooser.h"

namespace {

class CEnvironmentChooser : public CProxyChooser {
public:
    CProxyRoute RouteFor(const CParsedUrl& url) override {
        std::pair<int, WideString> key(url.SchemeKind(), WideString(url.Host(), url.HostLength()));
        const auto known = routes_.find(key);
        if (known != routes_.end()) {
            return known->second;
        }
        const CProxyRoute route = EnvironmentProxyRoute(lookup_, url);
        routes_.emplace(std::move(key), route);
        return route;
    }

private:
    ProxyVariableLookup lookup_ = ProcessEnvironmentLookup();
    std::map<std::pair<int, WideString>, CProxyRoute> routes_;
};

}  // namespace

std::unique_ptr<CProxyChooser> SystemProxyChooser() {
    return std::make_unique<CEnvironmentChooser>();
}
