// CTlsFront: server/receiver-tls.sh run through bash, its first line awaited.
#include "tests/app/tls_front.h"

#include <chrono>

bool CTlsFront::Start(const std::string& uploadFolder, const std::string& address,
                      const std::string& certificate, const std::string& key) {
    std::string banner;
    return process_.Start({"/bin/bash", LOGSENDER_SOURCE_DIR "/server/receiver-tls.sh", uploadFolder,
                           address, certificate, key},
                          {}, true) &&
           process_.ReadLine(banner, std::chrono::seconds(15)) &&
           banner.find("started") != std::string::npos;
}
