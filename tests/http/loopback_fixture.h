// Shared pieces of the HTTP client tests over the real socket on loopback.
#pragma once

#include <cstdint>
#include <string>

#include "http/http_client.h"
#include "net/socket/event_sync_socket.h"
#include "platform/text_conversion.h"

using CLoopbackClient = CHttpClientT<CEventSyncSocket>;

inline WideString LoopbackUrl(std::uint16_t port, const std::string& path) {
    return NarrowToWide("http://127.0.0.1:" + std::to_string(port) + path);
}

inline std::string BodyOf(const CLoopbackClient& client) {
    const auto* data = reinterpret_cast<const char*>(client.ResponseData());
    const std::uint32_t start = client.HeadOffset() + client.HeadLength();
    return std::string(data + start, client.ResponseLength() - start);
}

inline std::string HeaderOf(const CLoopbackClient& client, const char16_t* name) {
    WideString value;
    return client.HeaderValue(name, value) ? WideToNarrow(value) : "<absent>";
}

// The body the reference servers send: byte i is (7 i + i / 251) mod 256.
inline std::string PatternBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>((i * 7 + i / 251) % 256);
    }
    return body;
}
