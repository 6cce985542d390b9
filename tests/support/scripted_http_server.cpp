// CScriptedHttpServer: request framing by Content-Length and the scripted answers.
#include "tests/support/scripted_http_server.h"

#include <cstdlib>
#include <string_view>

#include "platform/wide_text.h"

CScriptedHttpServer::CScriptedHttpServer(std::vector<std::vector<HttpExchange>> connections)
    : connections_(std::move(connections)),
      server_([this](CLoopbackConnection& connection) { Play(connection); }) {}

std::vector<std::string> CScriptedHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void CScriptedHttpServer::Play(CLoopbackConnection& connection) {
    if (nextConnection_ == connections_.size()) {
        return;
    }
    for (const HttpExchange& exchange : connections_[nextConnection_++]) {
        if (!ReadRequest(connection)) {
            return;
        }
        if (exchange.stall) {
            connection.Idle();
            return;
        }
        const std::string_view answer = exchange.answer;
        const std::size_t piece = exchange.pieceSize == 0 ? answer.size() : exchange.pieceSize;
        for (std::size_t at = 0; at < answer.size(); at += piece) {
            if (!connection.Write(answer.substr(at, piece))) {
                return;
            }
        }
        if (exchange.closeAfter) {
            return;
        }
    }
}

bool CScriptedHttpServer::ReadRequest(CLoopbackConnection& connection) {
    std::string request;
    if (!connection.ReadUntil("\r\n\r\n", request)) {
        return false;
    }
    const std::string length = HeadHeaderValue(request, "Content-Length");
    if (!length.empty() &&
        !connection.ReadExactly(std::strtoul(length.c_str(), nullptr, 10), request)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
    return true;
}

std::string HeadHeaderValue(const std::string& head, const std::string& name) {
    const std::string_view text(head.data(), head.find("\r\n\r\n"));
    for (std::size_t line = text.find("\r\n"); line != std::string_view::npos;) {
        const std::size_t start = line + 2;
        line = text.find("\r\n", start);
        const std::string_view header = text.substr(start, line - start);
        const std::size_t colon = header.find(':');
        if (colon != std::string_view::npos &&
            EqualsIgnoringAsciiCase(header.substr(0, colon), name)) {
            const std::size_t value = header.find_first_not_of(" \t", colon + 1);
            return value == std::string_view::npos ? std::string()
                                                   : std::string(header.substr(value));
        }
    }
    return std::string();
}
