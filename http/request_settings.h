// CRequestSettings: the caller's record of one request (method, body, content type, flags,
// time-out, block sizes, callbacks). The client borrows it for the length of a request and
// copies nothing from it but the method text; every pointer in it stays the caller's.
#pragma once

#include <cstdint>

class CProxyChooser;

// Request flags (bits of CRequestSettings::flags).
constexpr std::uint32_t kRequestFollowRedirects = 1;  // follow 301, 302 and 303
constexpr std::uint32_t kRequestCheckStatus = 2;      // the status code decides the result
constexpr std::uint32_t kRequestBodyFromSource = 4;   // body pieces come from bodySource
constexpr std::uint32_t kRequestBodyInBlocks = 8;     // postData goes out in sendBlockSize writes
// The body source starts its body over whenever it is handed a request head, so a redirected
// request can carry the whole body again; without it, a body-source request is not redirected.
constexpr std::uint32_t kRequestBodySourceRestarts = 16;

// Called after each write of the request (or read of the response) with the bytes that
// write moved and the matching user value; false asks the client to stop.
using ProgressCallback = bool (*)(std::uint32_t bytesMoved, std::uintptr_t userValue);

// How many milliseconds the exchange may still take, for the user value; 0 when its time is up.
using TimeLeftCallback = std::uint32_t (*)(std::uintptr_t userValue);

// Supplies the next body piece. On entry piece and pieceLength describe the piece written
// last (the request head at the first call); the callback replaces them with the next one.
// False, a length of 0 or a null piece ends the body.
using BodySourceCallback = bool (*)(const std::uint8_t** piece, std::uint32_t* pieceLength,
                                    std::uintptr_t userValue);

class CRequestSettings {
public:
    // Stores the method text and returns the previous one.
    const char16_t* AssignMethod(const char16_t* newMethod) noexcept;
    // Stores the port used when the URL's port is 0 and returns the previous one.
    std::uint16_t AssignPort(std::uint16_t newPort) noexcept;
    // Stores the body (not copied; it must outlive the request), its length and its type.
    void AssignPostData(const std::uint8_t* data, std::uint32_t length,
                        const char16_t* type) noexcept;

    const char16_t* extraHeaders = nullptr;  // whole header lines, each ending in CR LF
    const char16_t* method = u"GET";
    const char16_t* contentType = nullptr;  // null or empty: no Content-Type line
    std::uint32_t postDataLength = 0;       // 0: no Content-Length line
    std::uint32_t flags = kRequestFollowRedirects | kRequestCheckStatus | kRequestBodyInBlocks;
    std::uint32_t timeoutMs = 10000;
    std::uint32_t sendBlockSize = 4096;
    std::uint32_t readBlockSize = 4096;  // 0 reads in blocks of 2048
    std::uintptr_t sendProgressValue = 0;
    std::uintptr_t readProgressValue = 0;
    std::uintptr_t bodySourceValue = 0;
    std::uintptr_t timeLeftValue = 0;
    std::uint16_t port = 80;  // used when the URL's port is 0
    const std::uint8_t* postData = nullptr;
    BodySourceCallback bodySource = nullptr;
    ProgressCallback sendProgress = nullptr;
    ProgressCallback readProgress = nullptr;
    // When set, no connect, send or receive waits longer than the exchange has left (or
    // timeoutMs, if that is less), and none starts once nothing is left.
    TimeLeftCallback timeLeft = nullptr;
    // Chooses the way to each URL the request goes to (not owned); null connects directly.
    CProxyChooser* proxyChooser = nullptr;
};
