// CScriptedHttpServer: an HTTP server on 127.0.0.1 for loopback tests, built on
// CLoopbackServer. Each accepted connection plays the next list of exchanges: read one
// request (its head, then as many body bytes as its Content-Length announces), record it,
// write the scripted answer (whole or in pieces), and close the connection when the
// exchange says so or the list is played out.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/loopback_server.h"

struct HttpExchange {
    std::string answer;
    std::size_t pieceSize = 0;  // 0: the answer in one write
    bool closeAfter = false;
    bool stall = false;  // after reading the request, answer nothing and wait for the stop
};

class CScriptedHttpServer {
public:
    explicit CScriptedHttpServer(std::vector<std::vector<HttpExchange>> connections);
    CScriptedHttpServer(const CScriptedHttpServer&) = delete;
    CScriptedHttpServer& operator=(const CScriptedHttpServer&) = delete;

    std::uint16_t Port() const { return server_.Port(); }
    // Every request read so far (head and body), in order of arrival.
    std::vector<std::string> Requests() const;
    // Waits until `count` connections have been played out; false after timeout.
    bool WaitForConnections(int count, std::chrono::milliseconds timeout) {
        return server_.WaitForFinished(count, timeout);
    }

private:
    void Play(CLoopbackConnection& connection);
    bool ReadRequest(CLoopbackConnection& connection);

    std::vector<std::vector<HttpExchange>> connections_;
    std::size_t nextConnection_ = 0;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    CLoopbackServer server_;  // last: its thread stops before the script goes
};

// The value of a header in a request or response head (name case ignored); empty if absent.
std::string HeadHeaderValue(const std::string& head, const std::string& name);
