// CProxyChooser: the one decision, per run and upload address, of how an upload's connection
// is made: the route of proxies (and DIRECT) to try in order, or the empty route for a direct
// connection. The HTTP client asks it for every URL it connects to, the redirected ones too;
// a chooser may keep its answers for the run. SystemProxyChooser gives the platform's: on
// Linux the environment's variables (curl's rules), on Windows the user's and the machine's
// settings (discovered once per run within kDiscoveryTime).
#pragma once

#include <chrono>
#include <memory>

#include "net/proxy/proxy_route.h"
#include "net/url/parsed_url.h"

class CProxyChooser {
public:
    virtual ~CProxyChooser() = default;
    // The route for url (scheme, host as written, port); the empty route goes direct.
    virtual CProxyRoute RouteFor(const CParsedUrl& url) = 0;
};

// What discovery of the system's proxy settings may take in one run, all URLs together; an
// answer that comes later is not waited for and the run goes direct.
constexpr std::chrono::seconds kDiscoveryTime{10};

// The chooser of this platform's proxy settings, made once per run.
std::unique_ptr<CProxyChooser> SystemProxyChooser();
