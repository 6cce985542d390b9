// SystemProxyChooser on Windows: until discovery of the user's settings is built, every
// upload goes direct.
#include "net/proxy/proxy_chooser.h"

namespace {

class CDirectChooser : public CProxyChooser {
public:
    CProxyRoute RouteFor(const CParsedUrl&) override { return CProxyRoute(); }
};

}  // namespace

std::unique_ptr<CProxyChooser> SystemProxyChooser() {
    return std::make_unique<CDirectChooser>();
}
