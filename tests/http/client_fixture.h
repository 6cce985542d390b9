// Shared pieces of the HTTP client tests over the scripted socket: a client that records the
// set-cookie values it is handed, a record of the reads the client reports, and the texts of
// typical requests and responses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "platform/text_conversion.h"
#include "tests/support/scripted_socket.h"

using CScriptedClient = CHttpClientT<CScriptedSocket>;

class CTestClient : public CScriptedClient {
public:
    explicit CTestClient(CSocketScript& script) : CScriptedClient(script) {}

    using CScriptedClient::AddSchemeHandler;

    std::string Response() const {
        return std::string(reinterpret_cast<const char*>(ResponseData()), ResponseLength());
    }
    std::string Body() const { return Response().substr(HeadOffset() + HeadLength()); }
    std::string Header(const char16_t* name) const;

    std::vector<WideString> cookies;

protected:
    void OnCookieHeader(const WideString& value) override { cookies.push_back(value); }
};

inline std::string CTestClient::Header(const char16_t* name) const {
    WideString value;
    return HeaderValue(name, value) ? WideToNarrow(value) : "<absent>";
}

// The byte count of every read the client reports through readProgress, each answered with
// `answer`.
struct ReadLog {
    std::vector<std::uint32_t> counts;
    bool answer = true;

    static bool Record(std::uint32_t count, std::uintptr_t value) {
        auto* log = reinterpret_cast<ReadLog*>(value);
        log->counts.push_back(count);
        return log->answer;
    }
    // Default settings whose readProgress records into this log.
    CRequestSettings Settings() {
        CRequestSettings settings;
        settings.readProgress = &Record;
        settings.readProgressValue = reinterpret_cast<std::uintptr_t>(this);
        return settings;
    }
};

inline const std::string kUserAgentLine = "User-Agent: Ombrix-Native/8.00\r\n";
inline const std::string kEmptyOk = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";

// The head of a request without body or extra lines.
inline std::string RequestHead(const std::string& method, const std::string& target,
                               const std::string& host = "h") {
    return method + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\n" + kUserAgentLine + "\r\n";
}

// A response with a counted body.
inline std::string Response(int status, const std::string& headers, const std::string& body) {
    return "HTTP/1.1 " + std::to_string(status) + " X\r\n" + headers +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
