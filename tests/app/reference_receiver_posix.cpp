// CReferenceReceiver: the port is read from PHP's banner, "... Development Server
// (http://127.0.0.1:34027) started", which it writes on its standard error once it listens.
#include "tests/app/reference_receiver.h"

#include <chrono>
#include <cstdlib>

#include "platform/text_conversion.h"

bool CReferenceReceiver::Start(const std::string& uploadFolder, const std::string& address) {
    port_ = 0;
    std::string banner;
    if (!process_.Start(
            {"/bin/bash", LOGSENDER_SOURCE_DIR "/server/receiver.sh", uploadFolder, address}, {},
            true) ||
        !process_.ReadLine(banner, std::chrono::seconds(10)) ||
        banner.find("started") == std::string::npos) {
        return false;
    }
    const auto end = banner.rfind(')');
    const auto colon = banner.rfind(':', end);
    if (end == std::string::npos || colon == std::string::npos) {
        return false;
    }
    const unsigned long port = std::strtoul(banner.c_str() + colon + 1, nullptr, 10);
    port_ = port > 0 && port < 65536 ? static_cast<std::uint16_t>(port) : 0;
    return port_ != 0;
}

std::u16string CReferenceReceiver::Url() const {
    return NarrowToWide("http://127.0.0.1:" + std::to_string(port_) + "/scripts/uploadUserLog.php");
}
