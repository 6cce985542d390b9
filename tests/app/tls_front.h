// CTlsFront: the reference receiver behind its nginx TLS front (server/receiver-tls.sh) for one
// test, on a given address with a given certificate, storing into a folder the test chooses.
// Coming up is waited for with a bound; both servers stop when the object ends (the script
// stops them when its input pipe closes, also after it was killed).
#pragma once

#include <string>

#include "tests/support/child_process.h"

class CTlsFront {
public:
    // Starts it and waits up to 15 s for the line saying nginx answers. False when it does not.
    bool Start(const std::string& uploadFolder, const std::string& address,
               const std::string& certificate, const std::string& key);

private:
    CChildProcess process_;
};
