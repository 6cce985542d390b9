// The process environment as a proxy variable lookup on POSIX: getenv, the value converted as
// all 8-bit text of the system is (UTF-8; an invalid sequence becomes U+FFFD).
#include <cstdlib>
#include <string>

#include "net/proxy/environment_proxy.h"
#include "platform/text_conversion.h"

ProxyVariableLookup ProcessEnvironmentLookup() {
    return [](std::string_view name) -> std::optional<WideString> {
        const char* value = std::getenv(std::string(name).c_str());
        if (value == nullptr) {
            return std::nullopt;
        }
        return NarrowToWide(value);
    };
}
