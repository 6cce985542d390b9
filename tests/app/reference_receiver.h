// CReferenceReceiver: the reference upload receiver (server/receiver.sh, PHP's built-in
// server) run for one test on a loopback address, storing into a folder the test chooses.
// Coming up is waited for with a bound; the server is killed when the object ends. Its log
// lines are left unread in the output pipe, which holds a few hundred requests' worth.
#pragma once

#include <cstdint>
#include <string>

#include "tests/support/child_process.h"

class CReferenceReceiver {
public:
    // Starts it on address ("127.0.0.1:0" for any free port) and waits up to 10 s for the
    // banner in which PHP names the address it listens on. False when it does not come up.
    bool Start(const std::string& uploadFolder, const std::string& address);
    // The port it listens on, once started.
    std::uint16_t Port() const { return port_; }
    // http://127.0.0.1:<port>/scripts/uploadUserLog.php
    std::u16string Url() const;
    void Stop() { process_.Kill(); }

private:
    CChildProcess process_;
    std::uint16_t port_ = 0;
};
